#pragma once

#include "filecrawler/AuxFileIdentifierValidator.h"
#include "filecrawler/CrawlerImporterParserInterface.h"
#include "filecrawler/MetadataPattern.h"

#include <cstddef>
#include <string>
#include <vector>

namespace cli {

class ProgramLoadContext;

struct ReportColumn {
    std::string name; // the case table's column name
    bool numeric;
};

// The results of one import, as the output formats need them.
struct ImportReport {
    std::string root;
    std::vector<ReportColumn> columns;
    std::vector<std::string> tags; // in the order of the identifiers
    // Per case, per column: the value text exactly as it stands in the
    // paths, numbers too (007 and 1.0D+03 stay as they are, where the case
    // table has 007 and NULL). metadataValueNumber() reads the numbers.
    std::vector<std::vector<std::string>> texts;
    // Per case, per tag: the files filed there (only when asked for).
    std::vector<std::vector<std::vector<std::string>>> files;
    std::size_t fileCount = 0;
    std::size_t unmatchedFileCount = 0;

    std::size_t caseCount() const { return texts.size(); }
};

// The reserved tag under which the report lists the files of a case that no
// identifier selected; no identifier can name it, as tags never hold '('.
extern char const* const UNTAGGED;

// Reads the delivered case table and collection, with each value's text
// from `parser`, the importer's, whose case c is the table's row c. The
// per-case files are gathered only `withFiles`.
ImportReport buildReport(ProgramLoadContext const& context, CrawlerImporterParserInterface const& parser,
                         std::vector<MetadataPattern> const& patterns,
                         std::vector<AuxFileIdentifier> const& identifiers, bool withFiles);

// Adds the tag UNTAGGED, last, with each case's files that no identifier
// filed under a tag, when there are any and the report holds the per-case
// files. `caseFiles` are the files in a case (identifiedAuxFiles()).
void addUntaggedFiles(ImportReport& report,
                      std::vector<boost::shared_ptr<AuxFileInfoInterface>> const& caseFiles);

} // namespace cli
