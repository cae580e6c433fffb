#pragma once

#include "ExcludeRules.h"
#include "ProgramError.h"

#include "filecrawler/AuxFileIdentifierValidator.h"
#include "filecrawler/MetadataPattern.h"
#include "host/WalkLimits.h"

#include <QStringList>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace cli {

enum class OutputFormat { Table, Csv, Json, VtkLegacy, VtkXml };

// What the command line asked for. Texts are the argument bytes, unchanged.
struct ProgramOptions {
    std::string root; // empty when no ROOT was given
    std::vector<MetadataPattern> patterns;
    std::vector<AuxFileIdentifier> identifiers;
    std::optional<OutputFormat> format; // unset: from the output's extension, else a table
    std::string output;                 // empty or "-": standard output
    ExcludeRules excludes;
    bool keepGoing = false;
    bool explain = false;
    bool explainAll = false; // every file in no case, not a few examples
    bool quiet = false;
    bool skipUnusableAux = false;
    bool overwriteStudyFile = false;               // --output may name a file the crawl lists
    std::size_t maxWays = defaultMaxWaysPerFolder; // ways (through links) into one folder
    bool help = false;
    bool version = false;

    bool rootGiven() const { return !root.empty(); }
    bool toStandardOutput() const { return output.empty() || output == "-"; }
};

// A bad option or option value; the message names it.
class UsageError : public ProgramError {
public:
    explicit UsageError(std::string const& message) : ProgramError(BadOption, message) {}
};

// The value type a --pattern takes when its text has no type suffix.
constexpr MetadataPattern::ValueType DEFAULT_VALUE_TYPE = MetadataPattern::Numeric;

// `arguments` holds the program name and then the arguments, each decoded as
// Latin-1 so that every byte survives. Throws UsageError.
ProgramOptions parseOptions(QStringList const& arguments);

// TEXT, TEXT:numeric or TEXT:string. Throws UsageError for an empty text,
// and for a text ending in a misspelt type (Re=:strng, Re=:num, Re=:String).
MetadataPattern parsePatternOption(std::string const& value);
// TAG=SYNTAX, split at the first '='. Throws UsageError when there is no '='.
AuxFileIdentifier parseAuxOption(std::string const& value);
std::optional<OutputFormat> formatFromName(std::string const& name);
// From the extension of the output's file name: .txt .csv .json .vtk .vtt.
std::optional<OutputFormat> formatFromExtension(std::string const& path);
// The format to write: --format, else the output's extension, else a table.
OutputFormat outputFormat(ProgramOptions const& options);

std::string helpText();

} // namespace cli
