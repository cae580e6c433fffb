#include "support/NameSort.h"

#include "support/SideBySide.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace support {

namespace {

// The bytes of a name that one pass compares at once: as many as a key holds.
constexpr std::size_t chunkBytes = sizeof(NameRef::key);

// The `chunkBytes` bytes of `entry`'s name from `at`, the first one the most
// significant, zeros past its end: names hold no NUL, so a name that ends
// sorts before its continuations.
std::uint64_t chunkAt(NameRef const& entry, char const* names, std::size_t at)
{
    std::uint64_t key = 0;
    char const* const name = names + entry.offset;
    for (std::size_t i = at; i < at + chunkBytes; ++i) {
        unsigned const byte = i < entry.length ? static_cast<unsigned char>(name[i]) : 0u;
        key = (key << 8) | byte;
    }
    return key;
}

std::size_t sharedPrefixLength(NameRef const* first, NameRef const* last, char const* names)
{
    std::size_t common = first->length;
    char const* const front = names + first->offset;
    for (NameRef const* entry = first; entry != last; ++entry) {
        char const* const name = names + entry->offset;
        std::size_t const most = std::min<std::size_t>(common, entry->length);
        std::size_t same = 0;
        while (same < most && name[same] == front[same])
            ++same;
        common = same;
    }
    return common;
}

void sortRange(NameRef* entries, std::size_t count, char const* names)
{
    if (count < 2)
        return;
    struct Range {
        std::size_t begin;
        std::size_t end;
        std::size_t at; // bytes before this are equal throughout the range
    };
    // Ranges still to sort; each is split into runs of equal chunks, and
    // only those go on, so the stack stays small and every pass shortens names.
    std::vector<Range> pending{{0, count, sharedPrefixLength(entries, entries + count, names)}};
    while (!pending.empty()) {
        Range const range = pending.back();
        pending.pop_back();
        NameRef* const begin = entries + range.begin;
        NameRef* const end = entries + range.end;
        for (NameRef* it = begin; it != end; ++it)
            it->key = chunkAt(*it, names, range.at);
        std::sort(begin, end, [](NameRef const& a, NameRef const& b) { return a.key < b.key; });

        std::size_t const next = range.at + chunkBytes;
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

} // namespace

void sortByName(std::vector<NameRef>& entries, char const* names, std::size_t twoThreadsFrom)
{
    std::size_t const count = entries.size();
    if (count < twoThreadsFrom || count < 2)
        return sortRange(entries.data(), count, names);
    // A folder of a million files is read by one thread while the walk may
    // wait for it: its halves are sorted side by side.
    std::size_t const half = count / 2;
    if (!runSideBySide([&] { sortRange(entries.data() + half, count - half, names); },
                       [&] { sortRange(entries.data(), half, names); }))
        return sortRange(entries.data(), count, names);
    auto const name = [names](NameRef const& entry) {
        return std::string_view(names + entry.offset, entry.length);
    };
    std::inplace_merge(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(half), entries.end(),
                       [&](NameRef const& a, NameRef const& b) { return name(a) < name(b); });
}

} // namespace support
