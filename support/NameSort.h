#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace support {

// A name in a block of names: `length` bytes from `offset`, none of them NUL.
//
//   names:   s o l u t i o n _ 0 0 0 1 . v t u \0 m e s h . m s h \0 ...
//            ^ offset 0, length 17                ^ offset 18, length 8
//
//   NameRef: | key: 8 bytes | offset: 4 | length: 4 | type: 1 |
//
// `key` is scratch space for the sort: during a pass it holds the 8 name
// bytes from the pass's position, read big-endian (see chunkAt in
// NameSort.cpp), so that comparing keys compares those bytes in byte order.
// `type` is the caller's, carried along.
struct NameRef {
    std::uint64_t key;
    std::uint32_t offset;
    std::uint32_t length;
    unsigned char type;
};

// Sorts `entries` into byte order of their names in `names` (a name that is
// a prefix of another sorts first). Lists of `twoThreadsFrom` names or more
// have their halves sorted on two threads (support/SideBySide.h), then merged.
//
// A folder's names are often alike for most of their length (a million
// "solution_0001_Re=1000_Mach=0.05_..."), which makes comparing two of them
// slow. So the names are sorted by 8 bytes at a time, read as one number,
// starting after the prefix they all share; each run of names equal so far
// is then sorted by its next 8 bytes. Within a half no two names are
// compared whole; only the merge of two halves compares names as strings.
//
// REQUIRES: every entry's bytes lie within `names`.
void sortByName(std::vector<NameRef>& entries, char const* names, std::size_t twoThreadsFrom);

} // namespace support
