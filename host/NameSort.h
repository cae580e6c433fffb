#pragma once

#include <cstdint>
#include <vector>

namespace localfile {

// A name in a block of names: `length` bytes from `offset`, none of them
// NUL. `key` is scratch space for the sort; `type` is the caller's.
struct NameRef {
    std::uint64_t key;
    std::uint32_t offset;
    std::uint32_t length;
    unsigned char type;
};

// Sorts `entries` into byte order of their names in `names`.
//
// A folder's names are often alike for most of their length (a million
// "solution_0001_Re=1000_Mach=0.05_..."), which makes comparing two of them
// slow. So the names are sorted by 8 bytes at a time, read as one number,
// starting after the prefix they all share; each run of names equal so far
// is then sorted by its next 8 bytes. No two names are ever compared whole.
void sortByName(std::vector<NameRef>& entries, char const* names);

} // namespace localfile
