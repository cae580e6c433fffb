#include "host/NameSort.h"

#include <algorithm>
#include <cstddef>

namespace localfile {

namespace {

// The 8 bytes of `entry`'s name from `at`, big-endian, zeros past its end:
// names hold no NUL, so a name that ends sorts before its continuations.
std::uint64_t chunkAt(NameRef const& entry, char const* names, std::size_t at)
{
    std::uint64_t key = 0;
    char const* const name = names + entry.offset;
    for (std::size_t i = at; i < at + 8; ++i)
        key = (key << 8) | (i < entry.length ? static_cast<unsigned char>(name[i]) : 0u);
    return key;
}

std::size_t sharedPrefixLength(std::vector<NameRef> const& entries, char const* names)
{
    std::size_t common = entries.front().length;
    char const* const first = names + entries.front().offset;
    for (NameRef const& entry : entries) {
        char const* const name = names + entry.offset;
        std::size_t const most = std::min<std::size_t>(common, entry.length);
        std::size_t same = 0;
        while (same < most && name[same] == first[same])
            ++same;
        common = same;
    }
    return common;
}

} // namespace

void sortByName(std::vector<NameRef>& entries, char const* names)
{
    if (entries.size() < 2)
        return;
    struct Range {
        std::size_t begin;
        std::size_t end;
        std::size_t at; // bytes before this are equal throughout the range
    };
    // Ranges still to sort; each is split into runs of equal chunks, and
    // only those go on, so the stack stays small and every pass shortens names.
    std::vector<Range> pending{{0, entries.size(), sharedPrefixLength(entries, names)}};
    while (!pending.empty()) {
        Range const range = pending.back();
        pending.pop_back();
        auto const begin = entries.begin() + static_cast<std::ptrdiff_t>(range.begin);
        auto const end = entries.begin() + static_cast<std::ptrdiff_t>(range.end);
        for (auto it = begin; it != end; ++it)
            it->key = chunkAt(*it, names, range.at);
        std::sort(begin, end, [](NameRef const& a, NameRef const& b) { return a.key < b.key; });

        std::size_t const next = range.at + 8;
        for (std::size_t run = range.begin; run < range.end;) {
            std::size_t runEnd = run + 1;
            bool goesOn = entries[run].length > next;
            for (; runEnd < range.end && entries[runEnd].key == entries[run].key; ++runEnd)
                goesOn = goesOn || entries[runEnd].length > next;
            // Names that end within equal chunks are equal; the others are
            // sorted by what follows.
            if (goesOn && runEnd - run > 1)
                pending.push_back(Range{run, runEnd, next});
            run = runEnd;
        }
    }
}

} // namespace localfile
