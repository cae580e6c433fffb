#pragma once

namespace cli {

// The exit statuses of filecrawler; EXIT_STATUS_MEANINGS says what each
// means (and --help lists it), the README too.
enum ExitStatus : int {
    Success = 0,
    InternalError = 1,
    BadOption = 2,
    RootMissing = 3,
    RootNotDirectory = 4,
    RootNotReadable = 5,
    CrawlIncomplete = 6,
    UnusableAux = 7,
    OutputNotWritable = 8,
    ResourcesExhausted = 9,
    CrawlLimit = 10,
    NoCases = 11,
    SomeFoldersSkipped = 12,
    Interrupted = 130,
};

struct ExitStatusMeaning {
    ExitStatus status;
    char const* meaning;
};

// Every status with its meaning, in the words of --help.
inline constexpr ExitStatusMeaning EXIT_STATUS_MEANINGS[] = {
    {Success, "success"},
    {InternalError, "unexpected internal error"},
    {BadOption, "bad option or option value"},
    {RootMissing, "ROOT does not exist"},
    {RootNotDirectory, "ROOT is not a directory"},
    {RootNotReadable, "ROOT is not readable"},
    {CrawlIncomplete, "a folder below ROOT could not be read: the crawl stopped there, and the results cover "
                      "the files found before it"},
    {UnusableAux, "an --aux identifier is unusable (see --skip-unusable-aux)"},
    {OutputNotWritable, "the output file cannot be written (an existing one is left as it was), or is a file "
                        "of the study (see --overwrite-study-file)"},
    {ResourcesExhausted, "memory or another resource of the machine ran out; nothing was written"},
    {CrawlLimit, "the crawl passed a limit (see --max-ways); nothing was written"},
    {NoCases, "no file belongs to a case (the results are written all the same)"},
    {SomeFoldersSkipped, "results written; some folders could not be read and were skipped (--keep-going)"},
    {Interrupted, "interrupted (Ctrl-C)"},
};

} // namespace cli
