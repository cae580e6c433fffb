#pragma once

namespace cli {

// The exit statuses of filecrawler; the README lists them too.
enum ExitStatus : int {
    Success = 0,
    InternalError = 1,     // an unexpected failure (a bug)
    BadOption = 2,         // a bad option or option value
    RootMissing = 3,       // ROOT does not exist
    RootNotDirectory = 4,  // ROOT is not a directory
    RootNotReadable = 5,   // ROOT cannot be read
    CrawlIncomplete = 6,   // a folder below ROOT could not be read; results cover what was found
    UnusableAux = 7,       // some --aux identifier is unusable (and --skip-unusable-aux was not given)
    OutputNotWritable = 8, // the output file cannot be written, or is a file of the study
    // Memory or another resource of the machine ran out; nothing was written.
    ResourcesExhausted = 9,
    CrawlLimit = 10, // the crawl passed a limit (--max-ways); nothing was written
    NoCases = 11,    // no file belongs to a case; the (empty) results are written
    // --keep-going: results written; some folders could not be read and were skipped
    SomeFoldersSkipped = 12,
    Interrupted = 130, // Ctrl-C
};

} // namespace cli
