#include "ImportReport.h"

#include "ProgramLoadContext.h"

#include "filecrawler/CaseColumnNames.h"

#include <vtkTable.h>

#include <algorithm>
#include <set>
#include <string_view>
#include <unordered_set>

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
    if (report.files.empty())
        return;
    std::unordered_set<std::string_view> tagged; // a file is in one case only
    for (std::vector<std::vector<std::string>> const& byTag : report.files)
        for (std::vector<std::string> const& files : byTag)
            tagged.insert(files.begin(), files.end());
    std::vector<std::vector<std::string>> untagged(report.files.size());
    bool any = false;
    for (boost::shared_ptr<AuxFileInfoInterface> const& file : caseFiles) {
        std::size_t const caseIndex = file->caseIndex();
        std::string path = file->filePath();
        if (caseIndex < untagged.size() && tagged.count(path) == 0) {
            untagged[caseIndex].push_back(std::move(path));
            any = true;
        }
    }
    if (!any)
        return;
    report.tags.push_back(UNTAGGED);
    for (std::size_t caseIndex = 0; caseIndex < untagged.size(); ++caseIndex)
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
