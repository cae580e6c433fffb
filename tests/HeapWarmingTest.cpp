#include "HeapWarming.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <vector>

namespace {

// The helper maps pages that malloc hands out at the same time: whatever
// the program writes into them meanwhile must stay there.
TEST(HeapWarming, WhatIsWrittenWhileThePagesArePopulatedStays)
{
    constexpr std::size_t count = 200000;
    constexpr std::size_t bytes = 120;
    std::vector<std::unique_ptr<unsigned char[]>> blocks;
    blocks.reserve(count);
    {
        cli::HeapWarming const warming(count * bytes);
        for (std::size_t i = 0; i < count; ++i) {
            blocks.emplace_back(new unsigned char[bytes]);
            for (std::size_t b = 0; b < bytes; ++b)
                blocks.back()[b] = static_cast<unsigned char>(i + b);
        }
    }
    std::size_t damaged = 0;
    for (std::size_t i = 0; i < count; ++i)
        for (std::size_t b = 0; b < bytes; ++b)
            damaged += blocks[i][b] != static_cast<unsigned char>(i + b);
    EXPECT_EQ(damaged, 0u);
}

} // namespace
