#include "ValueWarnings.h"

#include "TextUtil.h"

#include "filecrawler/MetadataValueNumber.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <set>
#include <unordered_map>

namespace cli {
namespace {

bool isSeparator(char c)
{
    return c == '/' || c == '\\';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Letters and digits, counting every byte of a multi-byte character as a letter.
bool isWordCharacter(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool holdsDigit(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), isDigit);
}

std::string quoted(std::string const& text)
{
    return "\"" + printable(text) + "\"";
}

bool endsWithTypeSuffix(std::string const& text)
{
    auto const endsWith = [&](char const* suffix) {
        std::size_t const n = std::strlen(suffix);
        return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
    };
    return endsWith(":numeric") || endsWith(":string");
}

// The --pattern value that gives `text` with `type`.
std::string patternOption(std::string const& text, MetadataPattern::ValueType type)
{
    if (type == MetadataPattern::String)
        return text + ":string";
    return endsWithTypeSuffix(text) ? text + ":numeric" : text;
}

// The text glued to the end of a number: letters, digits and dots up to
// `end`. When it runs to the end of the path its last extension goes (the
// .dat of T=300.dat), and so do dots left at its end.
std::string_view gluedText(std::string const& path, std::size_t from, std::size_t end)
{
    std::size_t stop = from;
    while (stop < end && (isWordCharacter(path[stop]) || path[stop] == '.'))
        ++stop;
    std::string_view glued(path.data() + from, stop - from);
    if (stop == path.size()) {
        std::size_t const dot = glued.rfind('.');
        if (dot != std::string_view::npos)
            glued = glued.substr(0, dot);
    }
    while (!glued.empty() && glued.back() == '.')
        glued.remove_suffix(1);
    return glued;
}

// What a text value that ended at a dot of the file name leaves out: up to
// the file's last extension (or the next pattern's text), without the
// punctuation before that.
std::string_view textLeftAtDot(std::string const& path, std::size_t from, std::size_t end)
{
    std::string_view lost(path.data() + from, end - from);
    if (end == path.size()) {
        std::size_t const dot = lost.rfind('.');
        lost = lost.substr(0, dot == 0 ? lost.size() : dot);
    }
    while (!lost.empty() && !isWordCharacter(lost.back()))
        lost.remove_suffix(1);
    return lost;
}

// A key for how a case's row shows where numbers are written as numbers:
// numeric values by the number (or as no number), texts as they are.
std::string displayKey(std::vector<std::string> const& row, std::vector<MetadataPattern> const& patterns)
{
    std::string key;
    for (std::size_t c = 0; c < row.size() && c < patterns.size(); ++c) {
        if (patterns[c].valueType == MetadataPattern::Numeric) {
            std::optional<double> const number = metadataValueNumber(row[c]);
            double const value = number ? (*number == 0 ? 0.0 : *number) : 0.0; // -0 shows as 0
            char bytes[sizeof value];
            std::memcpy(bytes, &value, sizeof value);
            key += number ? 'n' : '-';
            key.append(bytes, sizeof bytes);
        } else {
            key += std::to_string(row[c].size()) + ':' + row[c];
        }
    }
    return key;
}

// The later occurrence of `text` in `path` that starts a key (nothing or not
// a letter or digit before it), and the character before it.
std::optional<char> keyStartBefore(std::string const& path, std::string const& text, std::size_t after)
{
    for (std::size_t at = path.find(text, after + 1); at != std::string::npos; at = path.find(text, at + 1))
        if (at > 0 && !isWordCharacter(path[at - 1]))
            return path[at - 1];
    return std::nullopt;
}

} // namespace

ValueWarnings::ValueWarnings(std::vector<MetadataPattern> patterns)
    : patterns_(std::move(patterns)), insidePrevious_(patterns_.size(), false), tallies_(patterns_.size())
{
    // The search for a text starts one byte after the previous text's start,
    // so a text that the previous one holds further in is always found there.
    for (std::size_t i = 1; i < patterns_.size(); ++i)
        insidePrevious_[i] = !patterns_[i].pattern.empty() && patterns_[i - 1].pattern.size() > 1 &&
                             patterns_[i - 1].pattern.find(patterns_[i].pattern, 1) != std::string::npos;
}

void ValueWarnings::setCases(std::vector<std::vector<std::string>> const& rows)
{
    std::unordered_map<std::string, std::size_t> firstRow;
    std::vector<std::set<std::size_t>> involved(patterns_.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        auto const inserted = firstRow.emplace(displayKey(rows[r], patterns_), r);
        if (inserted.second)
            continue;
        std::size_t const other = inserted.first->second;
        for (std::size_t c = 0; c < patterns_.size() && c < rows[r].size(); ++c) {
            if (rows[r][c] == rows[other][c])
                continue;
            std::vector<std::string>& texts = tallies_[c].lookAlikeTexts;
            for (std::string const* text : {&rows[other][c], &rows[r][c]})
                if (std::find(texts.begin(), texts.end(), *text) == texts.end())
                    texts.push_back(*text);
            involved[c].insert(other);
            involved[c].insert(r);
            lookAlikeKeys_.insert(inserted.first->first);
        }
    }
    for (std::size_t c = 0; c < patterns_.size(); ++c)
        tallies_[c].lookAlikeCases = involved[c].size();
}

void ValueWarnings::add(std::string const& path, std::vector<MetadataInfo> const& records)
{
    if (records.size() == patterns_.size()) {
        lookAlikeCandidate_ = false;
        for (std::size_t i = 0; i < records.size(); ++i)
            addRecord(path, records, i);
        if (lookAlikeCandidate_)
            countLookAlike(path, records);
        return;
    }
    // Matching stopped at pattern `failed`: when the next text lies inside
    // its text, that is why, if its text is there at all.
    std::size_t const failed = records.size();
    if (failed + 1 < patterns_.size() && insidePrevious_[failed + 1]) {
        std::size_t const from = failed == 0 ? 0 : records[failed - 1].patternPosition + 1;
        if (path.find(patterns_[failed].pattern, from) != std::string::npos) {
            Tally& tally = tallies_[failed + 1];
            if (tally.insidePrevious++ == 0)
                tally.insidePreviousExample = path;
        }
    }
}

void ValueWarnings::addRecord(std::string const& path, std::vector<MetadataInfo> const& records,
                              std::size_t i)
{
    MetadataInfo const& record = records[i];
    MetadataPattern const& pattern = patterns_[i];
    Tally& tally = tallies_[i];
    std::size_t const valueEnd = record.valuePosition + record.valueLength;
    std::size_t const segmentEnd = i + 1 < records.size() ? records[i + 1].patternPosition : path.size();

    // A key that ends with the pattern's text (dT= for T=); not when the
    // character before is the end of the previous value (Re=100Mach=).
    std::size_t const at = record.patternPosition;
    if (at > 0 && !pattern.pattern.empty() && isWordCharacter(pattern.pattern.front()) &&
        isWordCharacter(path[at - 1]) &&
        !(i > 0 && records[i - 1].valuePosition + records[i - 1].valueLength == at)) {
        if (tally.insideKey++ == 0) {
            tally.insideKeyExample = path;
            tally.insideKeyPosition = at;
            tally.insideKeyValue = record.value;
        }
    }

    if (pattern.valueType != MetadataPattern::Numeric) {
        // A value cut at a dot of the file name that splits a number or a
        // version (v1.2); a cut before the name's further extensions
        // (kEpsilon.0001.vtu) is what text values are for.
        if (valueEnd < segmentEnd && path[valueEnd] == '.' && record.valueLength > 0 &&
            isDigit(record.value.back()) && valueEnd + 1 < segmentEnd && isDigit(path[valueEnd + 1]))
            noteLoss(tally.loss, path, record.value, textLeftAtDot(path, valueEnd, segmentEnd), false);
        return;
    }

    if (valueEnd < segmentEnd && !isSeparator(path[valueEnd]))
        noteLoss(tally.loss, path, record.value, gluedText(path, valueEnd, segmentEnd), true);
    else
        noteLoss(tally.loss, path, record.value, std::string_view(), true);

    // Paths of a case share their values: convert only a value that changed.
    if (!tally.lastChecked || tally.lastValue != record.value) {
        tally.lastChecked = true;
        tally.lastValue = record.value;
        std::optional<double> const number = metadataValueNumber(record.value);
        tally.lastInRange = !number || std::isfinite(*number);
        tally.lastLooksAlike = !tally.lookAlikeTexts.empty() &&
                               std::find(tally.lookAlikeTexts.begin(), tally.lookAlikeTexts.end(),
                                         record.value) != tally.lookAlikeTexts.end();
    }
    if (!tally.lastInRange && tally.outOfRange++ == 0) {
        tally.outOfRangeExample = path;
        tally.outOfRangeValue = record.value;
    }
    lookAlikeCandidate_ = lookAlikeCandidate_ || tally.lastLooksAlike;
}

// A path whose value texts include one that differs between cases that look
// alike: counted when its own case is one of them.
void ValueWarnings::countLookAlike(std::string const& path, std::vector<MetadataInfo> const& records)
{
    std::vector<std::string> values;
    for (MetadataInfo const& record : records)
        values.push_back(record.value);
    if (lookAlikeKeys_.count(displayKey(values, patterns_)) == 0)
        return;
    for (std::size_t i = 0; i < records.size(); ++i) {
        Tally& tally = tallies_[i];
        if (tally.lastLooksAlike && tally.lookAlikePaths++ == 0)
            tally.lookAlikeExample = path;
    }
}

// Tallies what one path's value leaves out. For numbers an empty part counts
// among the variants: Re=100 and Re=100k are read alike.
void ValueWarnings::noteLoss(Loss& loss, std::string const& path, std::string const& value,
                             std::string_view lost, bool countsEmpty)
{
    if (countsEmpty || !lost.empty()) {
        if (!loss.seen) {
            loss.seen = true;
            loss.first.assign(lost);
        } else if (!loss.varies && lost != loss.first) {
            loss.varies = true;
        }
    }
    if (lost.empty())
        return;
    ++loss.paths;
    bool const digits = holdsDigit(lost);
    loss.digits = loss.digits || digits;
    if (loss.example.empty() || (digits && !holdsDigit(loss.lost))) {
        loss.example = path;
        loss.value = value;
        loss.lost.assign(lost);
    }
}

std::vector<ValueWarning> ValueWarnings::warnings() const
{
    std::vector<ValueWarning> found;
    for (std::size_t i = 0; i < patterns_.size(); ++i) {
        Tally const& tally = tallies_[i];
        if (insidePrevious_[i])
            found.push_back(describe(ValueWarning::InsidePreviousText, i));
        if (tally.insideKey > 0)
            found.push_back(describe(ValueWarning::InsideLongerKey, i));
        if (tally.loss.paths > 0 &&
            (patterns_[i].valueType != MetadataPattern::Numeric || tally.loss.digits || tally.loss.varies))
            found.push_back(describe(patterns_[i].valueType == MetadataPattern::Numeric
                                         ? ValueWarning::NumberFollowedByText
                                         : ValueWarning::TextCutAtDot,
                                     i));
        if (tally.outOfRange > 0)
            found.push_back(describe(ValueWarning::NumberOutOfRange, i));
        if (tally.lookAlikeCases > 0)
            found.push_back(describe(ValueWarning::LookAlikeCases, i));
    }
    return found;
}

ValueWarning ValueWarnings::describe(ValueWarning::Kind kind, std::size_t i) const
{
    MetadataPattern const& pattern = patterns_[i];
    Tally const& tally = tallies_[i];
    std::string const text = pattern.pattern;
    std::string const name = "--pattern " + quoted(text);
    ValueWarning warning{kind, i, 0, std::string(), std::string()};
    auto const inPaths = [](std::size_t count, std::string const& example) {
        return "in " + counted(count, "path", "paths") + " (such as " + quoted(example) + ")";
    };
    switch (kind) {
    case ValueWarning::NumberFollowedByText:
        warning.paths = tally.loss.paths;
        warning.example = tally.loss.example;
        warning.message = name + ": a number followed by more text is read without it, " +
                          inPaths(warning.paths, warning.example) + ": " + quoted(text + tally.loss.value) +
                          " followed by " + quoted(tally.loss.lost) + " is read as " +
                          printable(tally.loss.value) +
                          ", and values that differ only after the number fall into one case. If the text "
                          "belongs to the value, give -p " +
                          patternOption(text, MetadataPattern::String) + ".";
        break;
    case ValueWarning::TextCutAtDot:
        warning.paths = tally.loss.paths;
        warning.example = tally.loss.example;
        warning.message =
            name + ": a text value ends at the first dot of a file name, " +
            inPaths(warning.paths, warning.example) + ": " +
            quoted(text + tally.loss.value + tally.loss.lost) + " is read as " + printable(tally.loss.value) +
            ", and values that differ only after the dot fall into one case. A text value keeps "
            "its dots when a separator follows it: put the value in a folder name (" +
            printable(text + tally.loss.value + tally.loss.lost) + "/...).";
        break;
    case ValueWarning::InsideLongerKey: {
        warning.paths = tally.insideKey;
        warning.example = tally.insideKeyExample;
        std::size_t const at = tally.insideKeyPosition;
        std::size_t keyStart = at;
        while (keyStart > 0 && isWordCharacter(tally.insideKeyExample[keyStart - 1]))
            --keyStart;
        std::string const longer = tally.insideKeyExample.substr(keyStart, at - keyStart) + text;
        std::optional<char> const before = keyStartBefore(tally.insideKeyExample, text, at);
        std::string const fix = before ? "give it with the character before it, -p " +
                                             patternOption(std::string(1, *before) + text, pattern.valueType)
                                       : "give it with the character before it in the paths, such as -p " +
                                             patternOption("/" + text, pattern.valueType);
        warning.message = name +
                          ": the text is found at the end of a longer key, and the first occurrence is "
                          "the one read, " +
                          inPaths(warning.paths, warning.example) + ": " + quoted(longer) + " gives " +
                          quoted(text) + " the value " + printable(tally.insideKeyValue) +
                          ". To read the key " + quoted(text) + " itself, " + fix + ".";
        break;
    }
    case ValueWarning::InsidePreviousText: {
        std::string const previous = patterns_[i - 1].pattern;
        warning.paths = tally.insidePrevious;
        warning.example = tally.insidePreviousExample;
        warning.message =
            name + ": the text lies inside " + quoted(previous) +
            ", the text of the pattern before it, and each text is searched from one byte after "
            "the previous one's start, so it is always found there and " +
            quoted(previous) + " has no room for a value" +
            (warning.paths > 0 ? "; " + inPaths(warning.paths, warning.example) + " matching stops there"
                               : std::string()) +
            ". Give a longer text for " + quoted(text) + " that " + quoted(previous) +
            " does not hold, or give the patterns in another order.";
        break;
    }
    case ValueWarning::NumberOutOfRange:
        warning.paths = tally.outOfRange;
        warning.example = tally.outOfRangeExample;
        warning.message = name + ": a number is beyond the range of a double, " +
                          inPaths(warning.paths, warning.example) + ": " +
                          quoted(text + tally.outOfRangeValue) +
                          " shows as null in JSON values and as infinity in VTK (CSV, the table and JSON "
                          "texts keep the text). To keep it as text, give -p " +
                          patternOption(text, MetadataPattern::String) + ".";
        break;
    case ValueWarning::LookAlikeCases: {
        warning.paths = tally.lookAlikePaths;
        warning.example = tally.lookAlikeExample;
        std::string texts;
        for (std::size_t t = 0; t < tally.lookAlikeTexts.size() && t < 2; ++t)
            texts += (t == 0 ? "" : " and ") + quoted(text + tally.lookAlikeTexts[t]);
        warning.message =
            name + ": " + counted(tally.lookAlikeCases, "case", "cases") +
            " differ only in how a number is written, such as " + texts +
            ", and look alike where values are shown as numbers (JSON values, VTK), " +
            inPaths(warning.paths, warning.example) +
            ". The cases are kept apart by their texts (CSV, the table, JSON texts); to show the texts "
            "there too, give -p " +
            patternOption(text, MetadataPattern::String) + ", or write the numbers alike.";
        break;
    }
    }
    return warning;
}

} // namespace cli
