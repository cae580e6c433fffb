#pragma once

#include "filecrawler/MetadataPattern.h"
#include "filecrawler/MetadataPatternSearch.h"

#include <atomic>
#include <exception>
#include <list>
#include <string>
#include <thread>
#include <vector>

namespace cli {

class Explanation;
class ValueWarnings;

// One pass over the importer's paths in their order: each path with the
// records the importer holds for it, read again from the path as the library
// reads them (MetadataInfoReader, which takes the records of the files of a
// folder from the first), goes to `warnings`, and, when `explanation` is
// given, each path in no case goes there. Stops early, leaving the rest out,
// once `stop` is set.
void survey(std::list<std::string> const& files, std::vector<MetadataPattern> const& patterns,
            ValueWarnings& warnings, Explanation* explanation, std::atomic<bool> const* stop = nullptr);

// Gives `warnings`, filled by a survey of `files` without the cases, the
// cases. Where some look alike, whose paths are counted as they are met, the
// survey is made once more with the cases known (not for an explanation).
void setCasesAfterSurvey(ValueWarnings& warnings, std::vector<std::vector<std::string>> const& rows,
                         std::list<std::string> const& files, std::vector<MetadataPattern> const& patterns);

// survey() on a thread of its own, so that it runs while the library's
// later stages run on the calling thread: it reads the paths only and asks
// the library for nothing but MetadataInfoReader's reading. `files` (the
// importer's list, which changes only with setCrawlResult), `warnings` and
// `explanation` must stay as they are until join(). Where no thread can be
// had, join() surveys on the calling thread.
class ConcurrentSurvey {
public:
    ConcurrentSurvey(std::list<std::string> const& files, std::vector<MetadataPattern> const& patterns,
                     ValueWarnings& warnings, Explanation* explanation);
    // Stops the survey, if still running, and waits for it.
    ~ConcurrentSurvey();
    ConcurrentSurvey(ConcurrentSurvey const&) = delete;
    ConcurrentSurvey& operator=(ConcurrentSurvey const&) = delete;

    // Waits for the survey to end; throws what it threw (std::bad_alloc).
    void join();

private:
    void run() noexcept;

    std::list<std::string> const& files_;
    std::vector<MetadataPattern> const patterns_;
    ValueWarnings& warnings_;
    Explanation* const explanation_;
    std::atomic<bool> stop_{false};
    std::exception_ptr failure_;
    bool ran_ = false;
    std::thread thread_;
};

} // namespace cli
