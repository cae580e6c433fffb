#include "host/WalkLimits.h"

WalkLimitExceeded::WalkLimitExceeded(std::string const& folder, std::size_t limit)
    : norvale::ExceptionBase("The folder: " + folder + " was reached through more than " +
                                 std::to_string(limit) +
                                 " ways (symbolic links); the crawl stopped. --max-ways raises the limit.",
                             false)
{
}
