// Fuzzes the matching of a crawled path against a metadata pattern list.
//
// Input: NUL-separated pieces. The first is the path; each further piece is a
// pattern whose first byte chooses the value type (odd: Numeric, even: String)
// and whose remaining bytes are the pattern text. So "runs/Re=100/a\0" "1Re="
// matches the numeric pattern Re= against runs/Re=100/a.
//
// Checked for every input: the records describe the path (each value is the
// path's bytes at its position, right after its pattern text, which occurs
// there), the pattern positions grow in pattern order, an identified path has
// one record per pattern and a value list made of the records' values, and the
// result equals a plain re-reading of the matching rules below.
#include "FuzzInput.h"

#include "filecrawler/MetadataPattern.h"
#include "filecrawler/private/CrawlerFilePath.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using fuzzinput::require;

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The number that begins `text`, as its length, or -1 when there is none:
// [sign] (digits [. digits] | . digits) [exponent letter [sign] digits], never
// ending with a point.
long numberLength(std::string const& text)
{
    std::size_t n = 0;
    auto digitsFrom = [&](std::size_t p) {
        while (p < text.size() && isDigit(text[p]))
            ++p;
        return p;
    };
    if (n < text.size() && (text[n] == '+' || text[n] == '-'))
        ++n;
    std::size_t const mantissa = n;
    n = digitsFrom(n);
    bool const intDigits = n > mantissa;
    bool point = false;
    if (n < text.size() && text[n] == '.') {
        point = true;
        std::size_t const fraction = digitsFrom(n + 1);
        if (!intDigits && fraction == n + 1)
            return -1; // a lone point
        n = fraction;
    }
    if (!intDigits && !point)
        return -1;
    if (n < text.size() && std::string("DEde").find(text[n]) != std::string::npos) {
        std::size_t e = n + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-'))
            ++e;
        std::size_t const digitsEnd = digitsFrom(e);
        if (digitsEnd > e)
            return static_cast<long>(digitsEnd);
    }
    if (text[n - 1] == '.')
        --n;
    return static_cast<long>(n);
}

// `segment` with the extensions of its last component removed, again and
// again, with both separators.
std::string withoutExtensions(std::string segment)
{
    for (;;) {
        if (segment.empty() || isSeparator(segment.back()))
            return segment;
        std::size_t const separator = segment.find_last_of("/\\");
        std::string const component =
            separator == std::string::npos ? segment : segment.substr(separator + 1);
        std::size_t const dot = component.rfind('.');
        if (component == "." || component == ".." || dot == std::string::npos)
            return segment;
        segment.resize(segment.size() - (component.size() - dot));
    }
}

// The value of one pattern in its segment, or false when there is none.
bool readValue(std::string const& segment, MetadataPattern const& pattern, std::string& value)
{
    std::size_t const start = pattern.pattern.size();
    if (pattern.valueType == MetadataPattern::Numeric) {
        if (start >= segment.size())
            return false;
        long const length = numberLength(segment.substr(start));
        if (length < 0)
            return false;
        value = segment.substr(start, static_cast<std::size_t>(length));
        return true;
    }
    std::string const stripped = withoutExtensions(segment);
    for (std::size_t i = start; i < stripped.size(); ++i) {
        if (isSeparator(stripped[i])) {
            value = stripped.substr(start, i - start);
            return true;
        }
    }
    if (stripped.size() < 2 || start >= stripped.size() - 1)
        return false;
    value = stripped.substr(start);
    return true;
}

struct Expected {
    bool identified = false;
    std::vector<MetadataInfo> infos;
};

// The matching rules, read plainly: each pattern text searched from one byte
// after the previous one's start, the value read right after it within the
// segment that ends where the next pattern text begins.
Expected expectedMatch(std::string const& path, std::vector<MetadataPattern> const& patterns)
{
    Expected expected;
    std::vector<std::size_t> positions;
    std::size_t from = 0;
    for (MetadataPattern const& pattern : patterns) {
        std::size_t const position = path.find(pattern.pattern, from);
        if (position == std::string::npos)
            return expected;
        positions.push_back(position);
        from = position + 1;
    }
    positions.push_back(path.size());
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        std::string const segment = path.substr(positions[i], positions[i + 1] - positions[i]);
        std::string value;
        if (!readValue(segment, patterns[i], value))
            return expected;
        MetadataInfo info;
        info.patternPosition = positions[i];
        info.valuePosition = positions[i] + patterns[i].pattern.size();
        info.valueLength = value.size();
        info.value = value;
        expected.infos.push_back(info);
    }
    expected.identified = true;
    return expected;
}

bool sameInfos(std::vector<MetadataInfo> const& a, std::vector<MetadataInfo> const& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].patternPosition != b[i].patternPosition || a[i].valuePosition != b[i].valuePosition ||
            a[i].valueLength != b[i].valueLength || a[i].value != b[i].value)
            return false;
    }
    return true;
}

void checkRecords(std::string const& path, std::vector<MetadataPattern> const& patterns,
                  std::vector<MetadataInfo> const& infos)
{
    require(infos.size() <= patterns.size(), "at most one record per pattern");
    for (std::size_t i = 0; i < infos.size(); ++i) {
        MetadataInfo const& info = infos[i];
        std::string const& text = patterns[i].pattern;
        require(info.patternPosition <= path.size() &&
                    path.compare(info.patternPosition, text.size(), text) == 0,
                "the pattern text occurs at the pattern position");
        require(info.valuePosition == info.patternPosition + text.size(),
                "the value starts right after the pattern text");
        require(info.valuePosition + info.valueLength <= path.size(), "the value lies within the path");
        require(info.value == path.substr(info.valuePosition, info.valueLength),
                "the value equals the path's bytes at its position");
        require(info.value.size() == info.valueLength, "the value length is the value's size");
        if (i > 0)
            require(info.patternPosition > infos[i - 1].patternPosition,
                    "pattern positions grow in pattern order");
        require(path.find(text, i == 0 ? 0 : infos[i - 1].patternPosition + 1) == info.patternPosition,
                "the pattern position is the first occurrence after the previous one");
        if (i + 1 < infos.size())
            require(info.valuePosition + info.valueLength <= infos[i + 1].patternPosition,
                    "a value does not run into the next pattern text");
        if (patterns[i].valueType == MetadataPattern::Numeric)
            require(numberLength(info.value) == static_cast<long>(info.value.size()),
                    "a numeric value is exactly one number");
        else
            require(info.value.find_first_of("/\\") == std::string::npos, "a text value holds no separator");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    std::vector<std::string> const parts = fuzzinput::pieces(data, size);
    std::string const& path = parts.front();
    std::vector<MetadataPattern> patterns;
    for (std::size_t i = 1; i < parts.size() && patterns.size() < 16; ++i) {
        std::string const& part = parts[i];
        if (part.empty())
            continue;
        bool const numeric = (static_cast<unsigned char>(part[0]) & 1U) != 0;
        patterns.emplace_back(part.substr(1), numeric ? MetadataPattern::Numeric : MetadataPattern::String);
    }

    CrawlerFilePath entry(path);
    require(entry.filePath() == path, "the entry keeps its path");
    bool const matched = entry.matchMetadataPatterns(patterns);
    require(matched == entry.isIdentified(), "the result is the identified flag");
    std::vector<MetadataInfo> const infos = entry.metadataInfoList();

    if (patterns.empty()) {
        require(!matched && infos.empty(), "an empty pattern list changes nothing");
        return 0;
    }
    checkRecords(path, patterns, infos);
    if (matched) {
        require(infos.size() == patterns.size(), "an identified path has one record per pattern");
        std::vector<std::string> const& values = entry.metadataSValueList();
        require(values.size() == infos.size(), "one value per record");
        for (std::size_t i = 0; i < infos.size(); ++i)
            require(values[i] == infos[i].value, "the value list holds the records' values");
    } else {
        require(infos.size() < patterns.size(), "a path that did not match lacks a record");
        require(entry.metadataSValueList().empty(), "a fresh entry that did not match has no values");
    }

    Expected const expected = expectedMatch(path, patterns);
    require(expected.identified == matched, "identified as the matching rules say");
    require(sameInfos(expected.infos, infos), "the records the matching rules give");

    // Matching again after clearing gives the same records.
    entry.clearMetadataInfoList();
    require(entry.matchMetadataPatterns(patterns) == matched, "matching is repeatable");
    require(sameInfos(entry.metadataInfoList(), infos), "matching again gives the same records");
    return 0;
}
