#include "filecrawler/CaseColumnNames.h"

#include <cstdint>
#include <unordered_map>
#include <unordered_set>

std::vector<std::string> caseColumnNameList(std::vector<MetadataPattern> const& patterns)
{
    std::vector<std::string> names;
    names.reserve(patterns.size());
    std::unordered_set<std::string> taken;
    // Per text, the counter to try next: the names a text was refused before
    // are still taken, so its next search starts after the name it got.
    std::unordered_map<std::string, std::uint64_t> nextCounter;
    for (MetadataPattern const& pattern : patterns) {
        std::string const text(pattern.pattern.c_str());
        std::string name = text;
        if (taken.count(name) != 0) {
            std::uint64_t& counter = nextCounter.try_emplace(text, 2).first->second;
            do {
                name = text + "(" + std::to_string(counter) + ")";
                ++counter;
            } while (taken.count(name) != 0);
        }
        taken.insert(name);
        names.push_back(std::move(name));
    }
    return names;
}
