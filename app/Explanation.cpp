#include "Explanation.h"

#include "TextUtil.h"

#include <QIODevice>

#include <algorithm>

namespace cli {
namespace {

std::string quoted(std::string const& text)
{
    return "\"" + printable(text) + "\"";
}

} // namespace

UnmatchedReason unmatchedReason(std::string const& path, std::vector<MetadataPattern> const& patterns,
                                std::vector<MetadataInfo> const& records)
{
    if (patterns.empty())
        return UnmatchedReason{0, UnmatchedReason::MissingText};

    // Where each pattern text begins; a missing one ends the search, and the
    // library then reads no value at all.
    std::vector<std::size_t> positions;
    std::size_t searchStart = 0;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        std::size_t const position = path.find(patterns[i].pattern, searchStart);
        if (position == std::string::npos)
            return UnmatchedReason{i, UnmatchedReason::MissingText};
        positions.push_back(position);
        searchStart = position + 1;
    }
    positions.push_back(path.size());

    // Every text was found, so the value of the first pattern without a
    // record could not be read.
    std::size_t const failed = std::min(records.size(), patterns.size() - 1);
    MetadataPattern const& pattern = patterns[failed];
    if (positions[failed + 1] < positions[failed] + pattern.pattern.size())
        return UnmatchedReason{failed, UnmatchedReason::NoRoomForValue};
    if (pattern.valueType == MetadataPattern::Numeric)
        return UnmatchedReason{failed, UnmatchedReason::NotANumber};
    return UnmatchedReason{failed, UnmatchedReason::TextTooShort};
}

std::string describe(UnmatchedReason const& reason, std::vector<MetadataPattern> const& patterns)
{
    if (reason.pattern >= patterns.size())
        return "no metadata pattern was given";
    std::string const text = quoted(patterns[reason.pattern].pattern);
    switch (reason.kind) {
    case UnmatchedReason::MissingText:
        if (reason.pattern == 0)
            return "no " + text + " in the path";
        return "no " + text + " after " + quoted(patterns[reason.pattern - 1].pattern);
    case UnmatchedReason::NoRoomForValue:
        return quoted(patterns[reason.pattern + 1].pattern) + " begins inside " + text +
               ", leaving no room for " + text + "'s value";
    case UnmatchedReason::NotANumber:
        return text + " is not followed by a number";
    case UnmatchedReason::TextTooShort:
        return text + " is followed by fewer than two characters before the end of the file name (extensions "
                      "removed)";
    }
    return std::string();
}

Explanation::Explanation(std::vector<MetadataPattern> patterns) : patterns_(std::move(patterns)) {}

void Explanation::add(std::string const& path, std::vector<MetadataInfo> const& records)
{
    UnmatchedReason const reason = unmatchedReason(path, patterns_, records);
    Group& group = groups_[reason];
    group.reason = reason;
    ++group.count;
    if (group.examples.size() < EXAMPLES)
        group.examples.push_back(path);
    ++unmatched_;
}

std::vector<Explanation::Group> Explanation::groups() const
{
    std::vector<Group> sorted;
    for (auto const& entry : groups_)
        sorted.push_back(entry.second);
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](Group const& a, Group const& b) { return a.count > b.count; });
    return sorted;
}

void Explanation::write(std::size_t fileCount, QIODevice& device) const
{
    std::string report;
    if (unmatched_ == 0)
        report = "Every one of the " + counted(fileCount, "file", "files") + " belongs to a case.\n";
    else
        report = std::to_string(unmatched_) + " of " + counted(fileCount, "file", "files") +
                 (unmatched_ == 1 ? " belongs" : " belong") + " to no case.\n";
    for (Group const& group : groups()) {
        report +=
            "\n" + counted(group.count, "file", "files") + ": " + describe(group.reason, patterns_) + "\n";
        for (std::string const& example : group.examples)
            report += "    " + printable(example) + "\n";
        if (group.count > group.examples.size())
            report += "    ... and " + std::to_string(group.count - group.examples.size()) + " more\n";
    }
    device.write(report.data(), qint64(report.size()));
}

} // namespace cli
