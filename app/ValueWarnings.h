#pragma once

#include "filecrawler/MetadataInfo.h"
#include "filecrawler/MetadataPattern.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace cli {

// Something the reading rules most likely did not do as the user meant,
// found in the values read from the paths.
struct ValueWarning {
    enum Kind {
        NumberFollowedByText, // a numeric value has more text glued to it, which is dropped
        TextCutAtDot,         // a text value ends at a dot of the file name that splits a number or version
        InsideLongerKey,      // the occurrence read is the end of a longer key (T= in dT=5)
        InsidePreviousText,   // the text is always found inside the previous pattern's text
        LookAlikeCases,       // distinct cases show alike once their numbers are converted
        NumberOutOfRange      // a number beyond the range of double (1e999): null in JSON, infinity in VTK
    };
    Kind kind;
    std::size_t pattern; // the pattern concerned, by its place in the list
    std::size_t paths;   // how many paths it concerns
    std::string example; // one of them
    std::string message; // one line: the pattern, what happens, the example, the count and the fix
};

// Looks over the values the library read from every path, in one pass and
// with a little work per path, for the readings that are probably not what
// the user meant. It judges the library's answers only; the rules for
// reading values stay as they are.
class ValueWarnings {
public:
    explicit ValueWarnings(std::vector<MetadataPattern> patterns);

    // The cases: per case, per pattern, the value text as it stands in the
    // paths (ImportReport::texts). Give them before the paths, so that the
    // paths of cases that look alike are counted. Given after them, they
    // count no path, which changes nothing unless casesLookAlike().
    void setCases(std::vector<std::vector<std::string>> const& rows);
    // Whether the cases given include some that look alike.
    bool casesLookAlike() const { return !lookAlikeKeys_.empty(); }

    // One crawled path with the records the library gives for it
    // (metadataInfoList): one per pattern when it belongs to a case.
    void add(std::string const& path, std::vector<MetadataInfo> const& records);

    // What was found, in pattern order.
    std::vector<ValueWarning> warnings() const;

private:
    // A part of the paths left out of a value: tallied per pattern.
    struct Loss {
        std::size_t paths = 0; // paths where something is left out
        bool seen = false;     // some path was looked at
        std::string first;     // what the first path looked at left out
        bool varies = false;   // another path left out something else
        bool digits = false;   // something left out holds a digit
        std::string example;   // preferably a path whose left-out part holds a digit
        std::string value;     // the value read from it
        std::string lost;      // what was left out of it
    };
    struct Tally {
        Loss loss;
        std::size_t insideKey = 0; // paths whose occurrence ends a longer key
        std::string insideKeyExample;
        std::size_t insideKeyPosition = 0; // where the text was read in it
        std::string insideKeyValue;
        std::size_t insidePrevious = 0; // paths that fail because the text lies inside the previous one
        std::string insidePreviousExample;
        std::size_t outOfRange = 0; // paths whose number is beyond the range of double
        std::string outOfRangeExample;
        std::string outOfRangeValue;
        std::string lastValue; // the last numeric value tested for conversion, and the answer
        bool lastInRange = true;
        bool lastChecked = false;
        // Cases that look alike: the value texts that differ between them,
        // the paths holding one of them, and the first such path.
        std::vector<std::string> lookAlikeTexts;
        std::size_t lookAlikeCases = 0;
        std::size_t lookAlikePaths = 0;
        std::string lookAlikeExample;
        bool lastLooksAlike = false;
    };

    void addRecord(std::string const& path, std::vector<MetadataInfo> const& records, std::size_t i);
    void noteLoss(Loss& loss, std::string const& path, std::string const& value, std::string_view lost,
                  bool countsEmpty);
    void countLookAlike(std::string const& path, std::vector<MetadataInfo> const& records);
    ValueWarning describe(ValueWarning::Kind kind, std::size_t pattern) const;

    std::vector<MetadataPattern> patterns_;
    std::vector<bool> insidePrevious_; // per pattern: its text lies inside the previous one's
    std::vector<Tally> tallies_;
    std::unordered_set<std::string> lookAlikeKeys_; // how the cases that look like another one show
    bool lookAlikeCandidate_ = false;               // the path at hand holds a text of such a case
};

} // namespace cli
