#include "TextUtil.h"

namespace cli {
namespace {

char const HEX[] = "0123456789ABCDEF";

bool continuesCharacter(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at `text[start]` (a byte of
// 0x80 or more), or 0 when the bytes there are not one: stray continuation
// bytes, overlong forms, surrogates, code points past U+10FFFF, cut sequences.
std::size_t sequenceLength(std::string const& text, std::size_t start)
{
    auto const at = [&](std::size_t i) -> unsigned {
        return start + i < text.size() ? static_cast<unsigned char>(text[start + i]) : 0u;
    };
    unsigned const lead = at(0);
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (at(1) < low || at(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (at(i) < 0x80 || at(i) > 0xBF)
            return 0;
    return length;
}

void appendEscaped(std::string& result, char const* prefix, unsigned char byte)
{
    result += prefix;
    result += HEX[byte >> 4];
    result += HEX[byte & 0xF];
}

} // namespace

std::string printable(std::string const& text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char const c = text[i];
        unsigned char const byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            std::size_t const length = sequenceLength(text, i);
            if (length == 0) {
                result += "\xEF\xBF\xBD"; // U+FFFD for each byte that is not UTF-8
                ++i;
            } else if (byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
                // A C1 control (U+0080..U+009F): terminals act on these too.
                appendEscaped(result, "\\u00", static_cast<unsigned char>(text[i + 1]));
                i += length;
            } else {
                result.append(text, i, length);
                i += length;
            }
            continue;
        }
        ++i;
        if (byte >= 0x20 && byte != 0x7F)
            result += c;
        else if (c == '\n')
            result += "\\n";
        else if (c == '\t')
            result += "\\t";
        else if (c == '\r')
            result += "\\r";
        else
            appendEscaped(result, "\\x", byte);
    }
    return result;
}

std::size_t displayWidth(std::string const& text)
{
    std::size_t width = 0;
    for (char const c : text)
        if (!continuesCharacter(c))
            ++width;
    return width;
}

std::string lastColumns(std::string const& text, std::size_t width)
{
    if (displayWidth(text) <= width)
        return text;
    if (width <= 3)
        return std::string(width, '.');
    std::size_t start = text.size();
    for (std::size_t kept = 0; start > 0 && kept < width - 3;) {
        --start;
        if (!continuesCharacter(text[start]))
            ++kept;
    }
    return "..." + text.substr(start);
}

std::string counted(std::size_t count, char const* singular, char const* plural)
{
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

} // namespace cli
