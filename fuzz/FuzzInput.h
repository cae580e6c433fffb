#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// Helpers shared by the fuzz harnesses.
namespace fuzzinput {

// The input cut at every NUL byte; a trailing NUL ends the last piece.
inline std::vector<std::string> pieces(std::uint8_t const* data, std::size_t size)
{
    std::vector<std::string> result(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            result.emplace_back();
        else
            result.back() += static_cast<char>(data[i]);
    }
    return result;
}

// Stops the run with a message when a property does not hold; libFuzzer keeps
// the input that got here.
inline void require(bool holds, char const* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

} // namespace fuzzinput
