#include "support/NameSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// `names` sorted by sortByName(), as strings.
std::vector<std::string> sorted(std::vector<std::string> const& names, std::size_t twoThreadsFrom)
{
    std::string block;
    std::vector<support::NameRef> refs;
    for (std::string const& name : names) {
        refs.push_back(support::NameRef{0, static_cast<std::uint32_t>(block.size()),
                                        static_cast<std::uint32_t>(name.size()), 0});
        block += name;
        block += '\0';
    }
    support::sortByName(refs, block.data(), twoThreadsFrom);
    std::vector<std::string> out;
    for (support::NameRef const& ref : refs)
        out.emplace_back(block, ref.offset, ref.length);
    return out;
}

// Byte order, also where names differ only past a chunk of 8 bytes, where
// one is a prefix of another, and in bytes above 127; on one thread and on
// two (the halves merged).
TEST(NameSort, SortsInByteOrder)
{
    std::string const longPrefix = "solution_0001_Re=1000_Mach=0.05_";
    std::vector<std::string> const lists[] = {
        {},
        {"only"},
        {"b", "a", "c"},
        {"abcdefgh", "abcdefg", "abcdefghi", "abcdefgh\x01", ""},
        {"12345678b", "12345678a", "12345678", "1234567"},
        {"\xe9t\xe9", "ete", "\x7f", "\x80", "Z"},
        {longPrefix + "2.vtu", longPrefix + "10.vtu", longPrefix + "1.vtu", longPrefix, longPrefix + "1"},
        {"same", "same", "other", "same"},
    };
    for (std::vector<std::string> const& names : lists) {
        std::vector<std::string> expected = names;
        std::sort(expected.begin(), expected.end()); // std::string compares bytes as unsigned
        EXPECT_EQ(sorted(names, 1 << 16), expected);
        EXPECT_EQ(sorted(names, 2), expected);
    }
}

} // namespace
