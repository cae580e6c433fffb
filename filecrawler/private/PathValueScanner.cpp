#include "filecrawler/private/PathValueScanner.h"

namespace pathvalue {
namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isSign(char c)
{
    return c == '+' || c == '-';
}

bool isExponentLetter(char c)
{
    return c == 'D' || c == 'E' || c == 'd' || c == 'e';
}

// The character at p, or NUL past the end.
char at(std::string_view text, std::size_t p)
{
    return p < text.size() ? text[p] : '\0';
}

std::size_t skipDigits(std::string_view text, std::size_t p)
{
    while (isDigit(at(text, p)))
        ++p;
    return p;
}

// find_last_of / find_first_of with "/\\", without the library's search of
// the set for every character: these run for every file of a study.
std::size_t lastSeparator(std::string_view text)
{
    for (std::size_t p = text.size(); p-- > 0;)
        if (isSeparator(text[p]))
            return p;
    return std::string_view::npos;
}

std::size_t firstSeparator(std::string_view text, std::size_t from)
{
    for (std::size_t p = from; p < text.size(); ++p)
        if (isSeparator(text[p]))
            return p;
    return std::string_view::npos;
}

} // namespace

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

bool findPatternPositions(std::string_view path, std::vector<MetadataPattern> const& patterns,
                          std::vector<std::size_t>& positions)
{
    positions.clear();
    positions.reserve(patterns.size() + 1);
    bool found = true;
    std::size_t searchStart = 0;
    for (MetadataPattern const& pattern : patterns) {
        std::size_t const position = path.find(pattern.pattern, searchStart);
        if (position == std::string_view::npos) {
            found = false;
            break;
        }
        positions.push_back(position);
        searchStart = position + 1;
    }
    positions.push_back(path.size());
    return found;
}

bool findNumericValueEnd(std::string_view segment, std::size_t start, std::size_t& end)
{
    // A value that would start past its segment (a later pattern text found
    // inside this one's) is no match, as it is for text values.
    if (start >= segment.size())
        return false;

    std::size_t p = start;
    if (isSign(at(segment, p)))
        ++p;

    if (isDigit(at(segment, p))) {
        p = skipDigits(segment, p);
        if (at(segment, p) == '.')
            p = skipDigits(segment, p + 1);
    } else if (at(segment, p) == '.') {
        ++p;
        if (!isDigit(at(segment, p)))
            return false;
        p = skipDigits(segment, p);
    } else {
        return false;
    }

    if (isExponentLetter(at(segment, p))) {
        std::size_t q = p + 1;
        if (isSign(at(segment, q)))
            ++q;
        if (isDigit(at(segment, q)))
            p = skipDigits(segment, q);
    }

    if (segment[p - 1] == '.')
        --p;
    end = p;
    return true;
}

std::size_t strippedLength(std::string_view text)
{
    std::size_t length = text.size();
    for (;;) {
        std::string_view const current = text.substr(0, length);
        if (current.empty() || isSeparator(current.back()))
            return length;
        std::size_t const separator = lastSeparator(current);
        std::size_t const componentStart = separator == std::string_view::npos ? 0 : separator + 1;
        std::string_view const component = current.substr(componentStart);
        if (component == "." || component == "..")
            return length;
        std::size_t const dot = component.rfind('.');
        if (dot == std::string_view::npos)
            return length;
        length = componentStart + dot;
    }
}

bool findStringValueEnd(std::string_view segment, std::size_t start, std::size_t& end)
{
    std::string_view const stripped = segment.substr(0, strippedLength(segment));
    std::size_t const separator =
        start <= stripped.size() ? firstSeparator(stripped, start) : std::string_view::npos;
    if (separator != std::string_view::npos) {
        end = separator;
        return true;
    }
    if (start + 1 < stripped.size()) {
        end = stripped.size();
        return true;
    }
    return false;
}

} // namespace pathvalue
