#pragma once

#include <cstddef>
#include <string>

namespace support {

// Unsigned integers in a variable number of bytes, 7 bits a byte, the least
// significant group first; every byte but the last has its high bit set.
//
//   300 = 0b10'0101100  ->  1'0101100  0'0000010  =  0xAC 0x02
//                           ^ more     ^ last
//
// Numbers below 128 take one byte, below 16384 two.
constexpr unsigned varintPayloadBits = 7;
constexpr unsigned char varintMoreFlag = 0x80;
constexpr unsigned char varintPayloadMask = 0x7f;

// Appends `value` to `bytes`.
inline void appendVarint(std::string& bytes, std::size_t value)
{
    while (value > varintPayloadMask) {
        bytes.push_back(static_cast<char>((value & varintPayloadMask) | varintMoreFlag));
        value >>= varintPayloadBits;
    }
    bytes.push_back(static_cast<char>(value));
}

// The number that starts at `offset` of `bytes`; moves `offset` past it.
// REQUIRES: a whole number written by appendVarint() starts there.
inline std::size_t readVarint(std::string const& bytes, std::size_t& offset)
{
    std::size_t value = 0;
    for (unsigned shift = 0;; shift += varintPayloadBits) {
        auto const byte = static_cast<unsigned char>(bytes[offset++]);
        value |= static_cast<std::size_t>(byte & varintPayloadMask) << shift;
        if ((byte & varintMoreFlag) == 0)
            return value;
    }
}

} // namespace support
