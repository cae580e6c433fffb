#pragma once

#include "ExcludeRules.h"
#include "ImportReport.h"

#include "filecrawler/AuxFileIdentifierValidator.h"
#include "filecrawler/MetadataPattern.h"
#include "host/WalkLimits.h"

#include <vtkSmartPointer.h>
#include <vtkTable.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cli {

// What to crawl and how: the program's options that shape the results.
struct StudyCrawlOptions {
    std::string root;
    std::vector<MetadataPattern> patterns;
    std::vector<AuxFileIdentifier> identifiers;
    ExcludeRules excludes;
    bool keepGoing = false;
    bool skipUnusableAux = false;
    std::size_t maxWays = defaultMaxWaysPerFolder;
};

// A whole import as plain data: the case table, each case's files by tag and
// the files in no case with the reason, as the program reports them.
struct StudyCrawlResult {
    enum ErrorKind {
        None,
        RootMissing,
        RootNotDirectory,
        RootNotReadable,
        CrawlIncomplete, // a folder below could not be read: the results cover the files found before it
        CrawlLimit,      // a folder was reached through too many ways; no results
        UnusableAux,     // some identifier is unusable: `unusableIdentifiers` says why; no files by tag
        Interrupted      // `poll` asked to stop; no results
    };
    ErrorKind error = None;
    std::string errorMessage;
    std::vector<std::string> unusableIdentifiers; // one message each

    std::string root;
    std::vector<ReportColumn> columns;
    // Per column, per case: the value text as it stood in the path (also
    // for numbers: 007 and 1.0D+03 stay as they are), and for numeric
    // columns the number the program's VTK outputs show for it (NaN when
    // none; JSON shows null for NaN and infinity).
    std::vector<std::vector<std::string>> texts;
    std::vector<std::vector<double>> numbers;
    std::vector<std::string> tags; // the tags files are filed under, UNTAGGED last when used
    // Every file in a case, by case, then tag, then path: three columns.
    std::vector<std::uint64_t> fileCase;
    std::vector<std::uint32_t> fileTag; // index into `tags`
    std::vector<std::string> filePath;
    // Every file in no case, in crawl order, with the reason --explain gives.
    std::vector<std::string> unmatchedPath;
    std::vector<std::string> unmatchedReason;
    std::vector<std::string> warnings; // the program's warning lines, without "filecrawler: warning: "
    std::vector<std::string> skipped;  // folders left out by keepGoing
    std::size_t fileCount = 0;
    vtkSmartPointer<vtkTable> caseTable; // as the library delivered it
};

// Called on the calling thread about every `pollInterval` while the crawler's
// thread walks, and between the later steps, with the folders entered and
// the files found so far; returns false to stop: the crawl is aborted and the
// result's error is Interrupted.
using StudyCrawlPoll = std::function<bool(std::uint64_t folders, std::uint64_t files)>;

// Crawls options.root on a FolderCrawler and imports what it found, with the
// program's checks, filters, identification, warnings and explanation.
// Throws UsageError for a maxWays of 0, std::bad_alloc when memory runs out.
StudyCrawlResult crawlStudy(StudyCrawlOptions const& options, StudyCrawlPoll const& poll,
                            int pollIntervalMs = 30);

} // namespace cli
