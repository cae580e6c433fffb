#include "TextUtil.h"

namespace cli {
namespace {

bool continuesCharacter(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

std::string printable(std::string const& text)
{
    static char const hex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(text.size());
    for (char const c : text) {
        unsigned char const byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            result += c;
        } else if (c == '\n') {
            result += "\\n";
        } else if (c == '\t') {
            result += "\\t";
        } else if (c == '\r') {
            result += "\\r";
        } else {
            result += "\\x";
            result += hex[byte >> 4];
            result += hex[byte & 0xF];
        }
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
