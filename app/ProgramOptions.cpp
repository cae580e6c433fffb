#include "ProgramOptions.h"

#include "ExitStatus.h"
#include "OutputFile.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>

namespace cli {
namespace {

std::string bytes(QString const& text)
{
    return text.toLatin1().toStdString();
}

bool endsWith(std::string const& text, std::string const& suffix)
{
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string lowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// "Exit status:" and each status with its meaning, the meanings wrapped at
// 79 columns in a column of their own.
std::string exitStatusText()
{
    std::size_t const indent = 7; // "  130  "
    std::size_t const width = 79;
    std::string text = "\nExit status:\n";
    for (ExitStatusMeaning const& entry : EXIT_STATUS_MEANINGS) {
        std::string line = "  " + std::to_string(int(entry.status));
        line.resize(indent, ' ');
        std::string const meaning = entry.meaning;
        for (std::size_t start = 0; start < meaning.size();) {
            std::size_t const end = std::min(meaning.find(' ', start), meaning.size());
            std::string const word = meaning.substr(start, end - start);
            if (line.size() > indent && line.size() + 1 + word.size() > width) {
                text += line + "\n";
                line.assign(indent, ' ');
            } else if (line.size() > indent) {
                line += ' ';
            }
            line += word;
            start = end + 1;
        }
        text += line + "\n";
    }
    return text;
}

void configure(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        "Sorts the files of a parameter study into cases by the metadata values\n"
        "written in their paths (such as Re=100/Mach=0.5/...), writes the case table\n"
        "and files each case's auxiliary files under tags.\n\n"
        "Without ROOT, the sample study shipped with the program is crawled, with\n"
        "its own patterns and identifiers for whichever of --pattern and --aux is\n"
        "not given.");
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.addPositionalArgument("ROOT", "The folder to crawl.", "[ROOT]");
    parser.addOption({{"p", "pattern"},
                      "A metadata pattern: the literal TEXT that precedes a value in the paths, with the "
                      "value type (default numeric). Repeat it in path order.",
                      "TEXT[:numeric|:string]"});
    parser.addOption({{"a", "aux"},
                      "Tags the files of the cases that the wildcard SYNTAX selects (it must match the "
                      "end of the path) with TAG. Repeat it in priority order: the first identifier that "
                      "selects a file decides its tag. Case files that none selects are listed under "
                      "(untagged). A SYNTAX of * alone selects nothing; ?* selects every file, so a last "
                      "-a other=?* tags the files no earlier identifier took.",
                      "TAG=SYNTAX"});
    parser.addOption({"skip-unusable-aux", "Go on without the --aux identifiers that are unusable."});
    parser.addOption({{"f", "format"},
                      "Output format: table, csv, json, vtk (legacy VTK table) or vtt (XML VTK table). "
                      "Default: from the extension of --output (.txt, .csv, .json, .vtk, .vtt; a file "
                      "without one is refused), else table (standard output, a device, a FIFO).",
                      "FORMAT"});
    parser.addOption({{"o", "output"},
                      "Write the results to FILE (replaced only once complete) instead of standard output.",
                      "FILE"});
    parser.addOption({"exclude",
                      "Leave the entries GLOB matches out of the crawl; a folder is not entered. Matched "
                      "with fnmatch(3): against the name (flags 0: * also matches a leading dot), or, if "
                      "GLOB holds a /, against the path below ROOT (FNM_PATHNAME: * stops at /). A trailing "
                      "/ limits it to folders. Repeatable. Hidden entries are crawled unless excluded "
                      "(--exclude '.*').",
                      "GLOB"});
    parser.addOption({"keep-going",
                      "Skip the folders that cannot be read, with a warning naming each, and crawl the "
                      "rest (exit status 12), instead of stopping at the first (exit status 6)."});
    parser.addOption({"overwrite-study-file",
                      "Let --output replace a file that the crawl lists under ROOT (refused otherwise)."});
    parser.addOption({{"e", "explain"},
                      "Report why files belong to no case, grouped by reason, with three examples each, on "
                      "standard output (instead of the results, unless --output is given); as JSON with "
                      "--format json and no --output."});
    parser.addOption({"explain-all", "As --explain, listing every file in no case."});
    parser.addOption({"max-ways",
                      "Stop the crawl at a folder reached through more than N ways (paths through symbolic "
                      "links), as in trees whose links multiply paths. Default: " +
                          QString::number(defaultMaxWaysPerFolder) + ".",
                      "N"});
    parser.addOption({{"q", "quiet"}, "No progress and no summary on standard error."});
    parser.addOption({{"h", "help"}, "Show this help."});
    parser.addOption({{"v", "version"}, "Show the version."});
}

// The number of single-character edits that turn `a` into `b`.
std::size_t editDistance(std::string const& a, std::string const& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            std::size_t const above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The type that a word after the text's last ':' most likely meant to name
// (strng, num, String), or none.
char const* misspeltType(std::string const& text)
{
    std::size_t const colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 == text.size())
        return nullptr;
    std::string const word = lowerCase(text.substr(colon + 1));
    for (char const* type : {"string", "numeric"}) {
        std::string const name = type;
        bool const prefix = word.size() >= 3 && name.compare(0, word.size(), word) == 0;
        if (prefix || editDistance(word, name) <= 2)
            return type;
    }
    return nullptr;
}

} // namespace

MetadataPattern parsePatternOption(std::string const& value)
{
    std::string text = value;
    MetadataPattern::ValueType type = DEFAULT_VALUE_TYPE;
    if (endsWith(text, ":numeric")) {
        text.resize(text.size() - 8);
        type = MetadataPattern::Numeric;
    } else if (endsWith(text, ":string")) {
        text.resize(text.size() - 7);
        type = MetadataPattern::String;
    } else if (char const* const meant = misspeltType(text)) {
        std::string const intended = text.substr(0, text.rfind(':')) + ":" + meant;
        throw UsageError("--pattern \"" + value + "\": \"" + value.substr(value.rfind(':')) +
                         "\" looks like a misspelt value type (:numeric or :string); did you mean " +
                         intended + "? For a text that really ends so, add its type: " + value + ":numeric");
    }
    if (text.empty())
        throw UsageError("--pattern \"" + value +
                         "\": the pattern text is empty; give the text that precedes a value, such as Re=");
    return MetadataPattern(text, type);
}

AuxFileIdentifier parseAuxOption(std::string const& value)
{
    std::size_t const equals = value.find('=');
    if (equals == std::string::npos)
        throw UsageError("--aux \"" + value + "\": expected TAG=SYNTAX, such as mesh=*.msh");
    return AuxFileIdentifier{value.substr(equals + 1), value.substr(0, equals)};
}

std::optional<OutputFormat> formatFromName(std::string const& name)
{
    std::string const lower = lowerCase(name);
    if (lower == "table")
        return OutputFormat::Table;
    if (lower == "csv")
        return OutputFormat::Csv;
    if (lower == "json")
        return OutputFormat::Json;
    if (lower == "vtk")
        return OutputFormat::VtkLegacy;
    if (lower == "vtt")
        return OutputFormat::VtkXml;
    return std::nullopt;
}

std::optional<OutputFormat> formatFromExtension(std::string const& path)
{
    std::size_t const slash = path.rfind('/');
    std::size_t const dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::nullopt;
    std::string const extension = lowerCase(path.substr(dot + 1));
    if (extension == "txt")
        return OutputFormat::Table;
    return formatFromName(extension);
}

OutputFormat outputFormat(ProgramOptions const& options)
{
    if (options.format)
        return *options.format;
    if (!options.toStandardOutput())
        if (std::optional<OutputFormat> const format = formatFromExtension(options.output))
            return *format;
    return OutputFormat::Table;
}

ProgramOptions parseOptions(QStringList const& arguments)
{
    QCommandLineParser parser;
    configure(parser);
    if (!parser.parse(arguments))
        throw UsageError(bytes(parser.errorText()));

    ProgramOptions options;
    options.help = parser.isSet("help");
    options.version = parser.isSet("version");
    if (options.help || options.version)
        return options;

    QStringList const positional = parser.positionalArguments();
    if (positional.size() > 1)
        throw UsageError("only one ROOT may be given, but there are " + std::to_string(positional.size()) +
                         ": \"" + bytes(positional[0]) + "\", \"" + bytes(positional[1]) + "\"" +
                         (positional.size() > 2 ? ", ..." : ""));
    if (positional.size() == 1) {
        options.root = bytes(positional[0]);
        if (options.root.empty())
            throw UsageError("ROOT is an empty text; give a folder");
    }

    for (QString const& value : parser.values("pattern"))
        options.patterns.push_back(parsePatternOption(bytes(value)));
    for (QString const& value : parser.values("aux"))
        options.identifiers.push_back(parseAuxOption(bytes(value)));

    if (parser.isSet("format")) {
        std::string const name = bytes(parser.value("format"));
        options.format = formatFromName(name);
        if (!options.format)
            throw UsageError("--format \"" + name + "\": expected table, csv, json, vtk or vtt");
    }
    if (parser.isSet("output")) {
        options.output = bytes(parser.value("output"));
        if (options.output.empty())
            throw UsageError("--output is an empty text; give a file name, or - for standard output");
        if (!options.format && !formatFromExtension(options.output) && replacesFile(options.output))
            throw UsageError("--output \"" + options.output +
                             "\": cannot tell the format from the file name; name it .txt, .csv, .json, "
                             ".vtk or .vtt, or give --format");
    }
    for (QString const& value : parser.values("exclude"))
        options.excludes.add(bytes(value));
    options.keepGoing = parser.isSet("keep-going");
    options.explainAll = parser.isSet("explain-all");
    options.explain = parser.isSet("explain") || options.explainAll;
    options.quiet = parser.isSet("quiet");
    options.skipUnusableAux = parser.isSet("skip-unusable-aux");
    options.overwriteStudyFile = parser.isSet("overwrite-study-file");
    if (parser.isSet("max-ways")) {
        std::string const value = bytes(parser.value("max-ways"));
        bool number = value.find_first_not_of("0123456789") == std::string::npos;
        qulonglong const ways = number ? parser.value("max-ways").toULongLong(&number) : 0;
        if (!number || ways == 0)
            throw UsageError("--max-ways \"" + value + "\": expected a whole number of 1 or more");
        options.maxWays = static_cast<std::size_t>(ways);
    }

    if (options.rootGiven() && options.patterns.empty())
        throw UsageError("no --pattern given for \"" + options.root +
                         "\"; name the texts that precede the values in its paths, such as --pattern Re=");
    return options;
}

std::string helpText()
{
    QCommandLineParser parser;
    configure(parser);
    // Qt names the program by the path it was started with; the name will do.
    std::string text = bytes(parser.helpText());
    text.replace(0, text.find('\n'), "Usage: filecrawler [options] [ROOT]");
    return text + exitStatusText();
}

} // namespace cli
