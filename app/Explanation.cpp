#include "Explanation.h"

#include "TextUtil.h"

#include "filecrawler/MetadataPatternSearch.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <filesystem>

namespace cli {
namespace {

std::string quoted(std::string const& text)
{
    return "\"" + printable(text) + "\"";
}

QString jsonText(std::string const& text)
{
    return QString::fromUtf8(text.data(), int(text.size()));
}

// `root` made absolute and without "." and ".." components, as the user
// sees it in a shell; as given when the working folder is unknown.
std::string absoluteFolder(std::string const& root)
{
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(root, error);
    if (error)
        return root;
    std::string text = path.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

// `"a"`, `"a" and "b"`, `"a", "b" and "c"`.
std::string listed(std::vector<std::string> const& texts)
{
    std::string list;
    for (std::size_t i = 0; i < texts.size(); ++i)
        list += (i == 0 ? "" : i + 1 == texts.size() ? " and " : ", ") + quoted(texts[i]);
    return list;
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
    if (!findMetadataPatternPositions(path, patterns, positions))
        return UnmatchedReason{positions.size() - 1, UnmatchedReason::MissingText};

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

char const* kindName(UnmatchedReason::Kind kind)
{
    switch (kind) {
    case UnmatchedReason::MissingText:
        return "missing-text";
    case UnmatchedReason::NoRoomForValue:
        return "no-room-for-value";
    case UnmatchedReason::NotANumber:
        return "not-a-number";
    case UnmatchedReason::TextTooShort:
        return "text-too-short";
    }
    return "";
}

std::vector<std::size_t> patternsInRoot(std::string const& root, std::vector<MetadataPattern> const& patterns)
{
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < patterns.size(); ++i)
        if (root.find(patterns[i].pattern) != std::string::npos)
            found.push_back(i);
    return found;
}

namespace {

// Where the component of `root` in which the first pattern text begins
// starts; npos when no text occurs in `root`.
std::size_t componentWithText(std::string const& root, std::vector<MetadataPattern> const& patterns)
{
    std::size_t first = std::string::npos;
    for (MetadataPattern const& pattern : patterns)
        first = std::min(first, root.find(pattern.pattern));
    if (first == std::string::npos)
        return first;
    std::size_t const slash = root.rfind('/', first);
    return slash == std::string::npos ? 0 : slash + 1;
}

} // namespace

std::string folderToCrawl(std::string const& root, std::vector<MetadataPattern> const& patterns)
{
    std::size_t const start = componentWithText(root, patterns);
    if (start == std::string::npos)
        return std::string();
    if (start == 0)
        return ".";
    return start == 1 ? "/" : root.substr(0, start - 1);
}

Explanation::Explanation(std::vector<MetadataPattern> patterns, std::size_t examples)
    : patterns_(std::move(patterns)), examples_(examples)
{
}

void Explanation::setRoot(std::string const& root)
{
    root_ = absoluteFolder(root);
}

void Explanation::add(std::string const& path, std::vector<MetadataInfo> const& records)
{
    UnmatchedReason const reason = unmatchedReason(path, patterns_, records);
    Group& group = groups_[reason];
    group.reason = reason;
    ++group.count;
    if (group.examples.size() < examples_)
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
    std::vector<std::size_t> const inRoot = patternsInRoot(root_, patterns_);
    if (unmatched_ > 0 && !inRoot.empty()) {
        std::vector<std::string> texts;
        for (std::size_t const i : inRoot)
            texts.push_back(patterns_[i].pattern);
        std::size_t const start = componentWithText(root_, patterns_);
        std::string const component = root_.substr(start, root_.find('/', start) - start);
        report += "\n" + listed(texts) + (texts.size() == 1 ? " occurs" : " occur") + " in ROOT itself (" +
                  printable(root_) + "), but only the paths below ROOT are matched. To read " +
                  (texts.size() == 1 ? "its value" : "their values") + ", crawl " +
                  printable(folderToCrawl(root_, patterns_)) +
                  " instead (and --exclude what it holds beside " + printable(component) + ").\n";
    }
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

void Explanation::writeJson(std::size_t fileCount, QIODevice& device) const
{
    QJsonArray reasons;
    for (Group const& group : groups()) {
        QJsonArray paths;
        for (std::string const& path : group.examples)
            paths.append(jsonText(path));
        QJsonValue const pattern = group.reason.pattern < patterns_.size()
                                       ? QJsonValue(jsonText(patterns_[group.reason.pattern].pattern))
                                       : QJsonValue(QJsonValue::Null);
        reasons.append(QJsonObject{{"reason", jsonText(describe(group.reason, patterns_))},
                                   {"kind", kindName(group.reason.kind)},
                                   {"pattern", pattern},
                                   {"count", qint64(group.count)},
                                   {"paths", paths}});
    }
    QJsonArray inRoot;
    for (std::size_t const i : patternsInRoot(root_, patterns_))
        inRoot.append(jsonText(patterns_[i].pattern));
    std::string const folder = folderToCrawl(root_, patterns_);
    QJsonObject const document{
        {"fileCount", qint64(fileCount)},
        {"unmatchedFileCount", qint64(unmatched_)},
        {"root", jsonText(root_)},
        {"patternsInRoot", inRoot},
        {"suggestedRoot", folder.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(jsonText(folder))},
        {"reasons", reasons}};
    device.write(QJsonDocument(document).toJson(QJsonDocument::Indented));
}

} // namespace cli
