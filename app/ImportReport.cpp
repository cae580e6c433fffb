#include "ImportReport.h"

#include "ProgramLoadContext.h"

#include "filecrawler/CaseColumnNames.h"

#include <vtkTable.h>

#include <algorithm>
#include <set>
#include <string_view>

namespace cli {
namespace {

// Tags in the order of the identifiers that name them, each once.
std::vector<std::string> orderedTags(std::set<std::string> const& tags,
                                     std::vector<AuxFileIdentifier> const& identifiers)
{
    std::vector<std::string> ordered;
    for (AuxFileIdentifier const& identifier : identifiers)
        if (tags.count(identifier.tag) != 0 &&
            std::find(ordered.begin(), ordered.end(), identifier.tag) == ordered.end())
            ordered.push_back(identifier.tag);
    for (std::string const& tag : tags)
        if (std::find(ordered.begin(), ordered.end(), tag) == ordered.end())
            ordered.push_back(tag);
    return ordered;
}

} // namespace

char const* const UNTAGGED = "(untagged)";

void addUntaggedFiles(ImportReport& report,
                      std::vector<boost::shared_ptr<AuxFileInfoInterface>> const& caseFiles)
{
    std::size_t const cases = report.files.size();
    if (cases == 0)
        return;
    // The files of each case, in the order given: a stable sort by case
    // index, by counting. Each case is then checked against its own tagged
    // files only, a few dozen paths that stay in the cache; one hash set of
    // a million paths costs a cache miss per look-up.
    std::vector<std::size_t> firstOfCase(cases + 1, 0);
    for (boost::shared_ptr<AuxFileInfoInterface> const& file : caseFiles)
        if (std::size_t const caseIndex = file->caseIndex(); caseIndex < cases)
            ++firstOfCase[caseIndex + 1];
    for (std::size_t c = 0; c < cases; ++c)
        firstOfCase[c + 1] += firstOfCase[c];
    std::vector<AuxFileInfoInterface const*> byCase(firstOfCase[cases]);
    {
        std::vector<std::size_t> next(firstOfCase.begin(), firstOfCase.end() - 1);
        for (boost::shared_ptr<AuxFileInfoInterface> const& file : caseFiles)
            if (std::size_t const caseIndex = file->caseIndex(); caseIndex < cases)
                byCase[next[caseIndex]++] = file.get();
    }

    std::vector<std::vector<std::string>> untagged(cases);
    std::vector<std::string_view> tagged;
    bool any = false;
    for (std::size_t c = 0; c < cases; ++c) {
        tagged.clear();
        for (std::vector<std::string> const& files : report.files[c])
            tagged.insert(tagged.end(), files.begin(), files.end());
        std::sort(tagged.begin(), tagged.end());
        for (std::size_t i = firstOfCase[c]; i < firstOfCase[c + 1]; ++i) {
            std::string path = byCase[i]->filePath();
            if (!std::binary_search(tagged.begin(), tagged.end(), std::string_view(path))) {
                untagged[c].push_back(std::move(path));
                any = true;
            }
        }
    }
    if (!any)
        return;
    report.tags.push_back(UNTAGGED);
    for (std::size_t caseIndex = 0; caseIndex < cases; ++caseIndex)
        report.files[caseIndex].push_back(std::move(untagged[caseIndex]));
}

ImportReport buildReport(ProgramLoadContext const& context, CrawlerImporterParserInterface const& parser,
                         std::vector<MetadataPattern> const& patterns,
                         std::vector<AuxFileIdentifier> const& identifiers, bool withFiles)
{
    ImportReport report;
    vtkTable* const table = context.caseTable();
    bool const hasColumns = table != nullptr && table->GetNumberOfColumns() == vtkIdType(patterns.size());
    std::vector<std::string> const fallbackNames =
        hasColumns ? std::vector<std::string>() : caseColumnNameList(patterns);
    for (std::size_t c = 0; c < patterns.size(); ++c)
        report.columns.push_back(
            ReportColumn{hasColumns ? table->GetColumnName(vtkIdType(c)) : fallbackNames[c],
                         patterns[c].valueType == MetadataPattern::Numeric});

    // The table's numeric cells hold "NULL" for 1.0D+03: the texts come from
    // the parser, which the table was filled from.
    std::size_t const rows =
        hasColumns ? std::min(std::size_t(table->GetNumberOfRows()), parser.numDefinedCases()) : 0;
    report.texts.resize(rows);
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = 0; c < patterns.size(); ++c)
            report.texts[r].push_back(parser.caseMetadataSValue(r, c));

    if (boost::shared_ptr<AuxFileCollectionInterface> const auxFiles = context.auxFiles()) {
        report.tags = orderedTags(auxFiles->tags(), identifiers);
        if (withFiles) {
            report.files.assign(report.texts.size(),
                                std::vector<std::vector<std::string>>(report.tags.size()));
            std::size_t const filed = std::min(auxFiles->caseCount(), report.texts.size());
            for (std::size_t caseIndex = 0; caseIndex < filed; ++caseIndex)
                for (std::size_t t = 0; t < report.tags.size(); ++t)
                    report.files[caseIndex][t] = auxFiles->auxFilePaths(caseIndex, report.tags[t]);
        }
    }
    return report;
}

} // namespace cli
