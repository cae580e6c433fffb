#include "Survey.h"

#include "Explanation.h"
#include "ValueWarnings.h"

#include <cstddef>
#include <system_error>

namespace cli {

void survey(std::list<std::string> const& files, std::vector<MetadataPattern> const& patterns,
            ValueWarnings& warnings, Explanation* explanation, std::atomic<bool> const* stop)
{
    MetadataInfoReader reader(patterns);
    std::size_t count = 0;
    for (std::string const& path : files) {
        if (stop && ++count % 4096 == 0 && stop->load(std::memory_order_relaxed))
            return;
        std::vector<MetadataInfo> const& records = reader.read(path);
        warnings.add(path, records);
        // A path in a case has one record per pattern; one in no case fewer.
        if (explanation && records.size() < patterns.size())
            explanation->add(path, records);
    }
}

void setCasesAfterSurvey(ValueWarnings& warnings, std::vector<std::vector<std::string>> const& rows,
                         std::list<std::string> const& files, std::vector<MetadataPattern> const& patterns)
{
    warnings.setCases(rows);
    if (!warnings.casesLookAlike())
        return;
    warnings = ValueWarnings(patterns);
    warnings.setCases(rows);
    survey(files, patterns, warnings, nullptr);
}

ConcurrentSurvey::ConcurrentSurvey(std::list<std::string> const& files,
                                   std::vector<MetadataPattern> const& patterns, ValueWarnings& warnings,
                                   Explanation* explanation)
    : files_(files), patterns_(patterns), warnings_(warnings), explanation_(explanation)
{
    try {
        thread_ = std::thread(&ConcurrentSurvey::run, this);
    } catch (std::system_error const&) {
        // No thread to be had: join() surveys.
    }
}

ConcurrentSurvey::~ConcurrentSurvey()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void ConcurrentSurvey::join()
{
    if (thread_.joinable())
        thread_.join();
    else if (!ran_)
        run();
    if (failure_)
        std::rethrow_exception(failure_);
}

void ConcurrentSurvey::run() noexcept
{
    ran_ = true;
    try {
        survey(files_, patterns_, warnings_, explanation_, &stop_);
    } catch (...) {
        failure_ = std::current_exception();
    }
}

} // namespace cli
