#include "Program.h"

#include "CountingFileInfo.h"
#include "ExitStatus.h"
#include "Explanation.h"
#include "FilteredFileInfo.h"
#include "ImportReport.h"
#include "InterruptWatcher.h"
#include "OutputFile.h"
#include "OutputWriters.h"
#include "ProgramLoadContext.h"
#include "ProgramOptions.h"
#include "SampleStudy.h"
#include "StudyFile.h"
#include "Survey.h"
#include "TextUtil.h"
#include "TreeCrawl.h"
#include "ValueWarnings.h"

#include "filecrawler/AuxFileIdentifierValidator.h"
#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/FolderCrawler.h"
#include "filecrawler/MetadataFileCrawler.h"
#include "host/ExceptionBase.h"
#include "host/LocalFileInfo.h"
#include "host/TagValidator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <boost/make_shared.hpp>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <unistd.h>

namespace cli {
namespace {

void say(std::string const& message)
{
    std::string const line = "filecrawler: " + printable(message) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

int fail(ExitStatus status, std::string const& message)
{
    say(message);
    return status;
}

int interrupted()
{
    return fail(Interrupted, "interrupted; the crawl was stopped and nothing was written.");
}

// The status and the library's message for a root that cannot be crawled, or
// Success when it can.
ExitStatus rootProblem(FileInfoInterface const& root, std::string& message)
{
    if (!root.exists()) {
        message = "The specified folder: " + root.path() + " does not exist.";
        return RootMissing;
    }
    if (!root.isDirectory()) {
        message = "The specified path: " + root.path() + " must be a directory.";
        return RootNotDirectory;
    }
    if (!root.isReadable()) {
        message = "The specified path: " + root.path() + " is not readable.";
        return RootNotReadable;
    }
    return Success;
}

class IdentifierList : public AuxFileIdentifierValidator::IdentifierProviderInterface {
public:
    explicit IdentifierList(std::vector<AuxFileIdentifier> identifiers) : identifiers_(std::move(identifiers))
    {
    }
    std::vector<AuxFileIdentifier> identifiers() const override { return identifiers_; }

private:
    std::vector<AuxFileIdentifier> identifiers_;
};

// A syntax name with no character but '*' selects nothing, by the library's rule.
bool blankSyntaxName(std::string const& syntaxName)
{
    return syntaxName.find_first_not_of('*') == std::string::npos;
}

// Reports each unusable identifier with the reason the validators give, judged
// as the library judges them: the tag first, then the syntax name. Empty
// identifiers are accepted. Returns the number reported.
std::size_t reportUnusableIdentifiers(AuxFileIdentifierValidator const& validator, bool skipping)
{
    std::size_t unusable = 0;
    for (AuxFileIdentifier const& identifier : validator.identifiers()) {
        if (identifier.tag.empty() && identifier.syntaxName.empty())
            continue;
        norvale::ValidationResult result = validator.tagValidator()->validate(identifier.tag);
        std::string gloss;
        if (result.isValid()) {
            result = validator.syntaxNameValidator()->validate(identifier.syntaxName);
            gloss =
                blankSyntaxName(identifier.syntaxName)
                    ? " (a SYNTAX of * alone, or none, is refused whatever the files; ?* selects every file)"
                    : " (it selects no file of any case)";
        }
        if (result.isValid())
            continue;
        ++unusable;
        say(std::string(skipping ? "skipping" : "unusable") + " --aux " + identifier.tag + "=" +
            identifier.syntaxName + ": " + result.errorString() + gloss);
    }
    return unusable;
}

// Applies the identifiers; false when some are unusable and must not be skipped.
bool chooseAuxFiles(MetadataFileCrawler& importer,
                    std::vector<boost::shared_ptr<AuxFileInfoInterface>> candidates,
                    ProgramOptions const& options)
{
    if (options.identifiers.empty() || !importer.hasCases())
        return true; // nothing to identify, or no case to identify in: no collection
    IdentifierList const provider(options.identifiers);
    AuxFileIdentifierValidator validator(provider, std::move(candidates), boost::make_shared<TagValidator>());
    if (!validator.isValid()) {
        std::size_t const unusable = reportUnusableIdentifiers(validator, options.skipUnusableAux);
        if (!options.skipUnusableAux) {
            say(counted(unusable, "unusable --aux identifier", "unusable --aux identifiers") +
                "; nothing was written. --skip-unusable-aux goes on without them.");
            return false;
        }
    }
    importer.setAuxFilesToLoad(validator.auxFiles());
    return true;
}

// Why there is no case, from the largest group of reasons.
std::string noCaseReason(Explanation const& explanation, std::size_t fileCount,
                         std::vector<MetadataPattern> const& patterns)
{
    std::vector<Explanation::Group> const groups = explanation.groups();
    if (fileCount == 0 || groups.empty())
        return "no file belongs to a case: the crawl found no file.";
    return "no file belongs to a case: " + describe(groups.front().reason, patterns) + " (" +
           std::to_string(groups.front().count) + " of " + counted(fileCount, "file", "files") +
           "); --explain tells why for each file.";
}

bool writeExplanation(Explanation const& explanation, std::size_t fileCount, bool json)
{
    OutputFile out("-");
    std::string error;
    if (!out.open(error))
        return false;
    if (json)
        explanation.writeJson(fileCount, out.device());
    else
        explanation.write(fileCount, out.device());
    return out.commit(error);
}

int run(ProgramOptions options, QElapsedTimer const& clock)
{
    if (!options.rootGiven()) {
        options.root = sampleStudyPath();
        if (options.patterns.empty())
            options.patterns = sampleStudyPatterns();
        if (options.identifiers.empty())
            options.identifiers = sampleStudyIdentifiers();
    }
    OutputFormat const format = outputFormat(options);
    bool const writeResults = !options.explain || !options.toStandardOutput();
    if (writeResults) {
        std::string const problem = outputPathProblem(options.output);
        if (!problem.empty())
            return fail(OutputNotWritable, "cannot write the output: " + problem + ".");
    }

    InterruptWatcher interrupts;
    auto const filter = std::make_shared<CrawlFilter>(options.excludes, options.keepGoing);
    WalkOptions walk;
    walk.maxWaysPerFolder = options.maxWays;
    boost::shared_ptr<FileInfoInterface const> const root = filteredRoot(options.root, filter, walk);
    std::string message;
    if (ExitStatus const status = rootProblem(*root, message))
        return fail(status, message);

    std::unique_ptr<FolderCrawler> crawler =
        crawlTree(root, !options.quiet && isatty(STDERR_FILENO), interrupts);
    if (!crawler)
        return interrupted();
    FolderCrawler::Result const& crawl = crawler->result();
    ExitStatus status = Success;
    if (!crawl.errorString.isNull()) {
        std::string const error = crawl.errorString.toStdString();
        if (error == FolderCrawler::ROOT_PATH_DOES_NOT_EXIST_ERROR_STRING ||
            error == FolderCrawler::ROOT_PATH_IS_NOT_READABLE_ERROR_STRING) {
            // The root changed since it was checked.
            ExitStatus const rootStatus = rootProblem(*LocalFileInfo::create(options.root), message);
            return fail(rootStatus != Success ? rootStatus : RootNotReadable,
                        rootStatus != Success ? message : error);
        }
        auto const* const wrapped = dynamic_cast<CountingFileInfo const*>(crawl.folder.get());
        if (wrapped != nullptr && wrapped->walkLimitPassed())
            return fail(CrawlLimit, error + " Nothing was written.");
        say(error + " The crawl stopped there; the results cover the " +
            counted(crawl.files.size(), "file", "files") + " found before it.");
        status = CrawlIncomplete;
    }
    std::vector<std::string> const skipped = filter->skippedFolders();
    for (std::string const& folder : skipped)
        say("warning: " + folder + " is not readable; skipped (--keep-going).");
    if (status == Success && !skipped.empty())
        status = SomeFoldersSkipped;

    MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());
    try {
        importer.setCrawlResult(crawler->takeResult()); // millions of paths: taken over, not copied
    } catch (norvale::ExceptionBase const& error) {
        // The root changed since the crawl.
        ExitStatus const rootStatus = rootProblem(*LocalFileInfo::create(options.root), message);
        return fail(rootStatus != Success ? rootStatus : RootNotReadable, error.what());
    }
    crawler.reset();
    if (writeResults && !options.toStandardOutput() && !options.overwriteStudyFile) {
        std::string const studyFile = crawledFileAt(options.output, options.root, importer.files());
        if (!studyFile.empty())
            return fail(OutputNotWritable, "cannot write the output: " + options.output + " is the file " +
                                               studyFile +
                                               " of the study, which the crawl lists; nothing was "
                                               "written. --overwrite-study-file replaces it all the same.");
    }
    importer.setMetadataPatternList(options.patterns);
    if (InterruptWatcher::requested())
        return interrupted();

    std::size_t const fileCount = importer.files().size();
    std::vector<boost::shared_ptr<AuxFileInfoInterface>> candidates = importer.identifiedAuxFiles();
    std::size_t const unmatchedCount = fileCount - candidates.size();
    bool const auxUsable = chooseAuxFiles(importer, std::move(candidates), options);
    if (InterruptWatcher::requested())
        return interrupted();

    ProgramLoadContext context;
    importer.extract(context);
    ImportReport report = buildReport(context, options.patterns, options.identifiers,
                                      writeResults && auxUsable && showsFiles(format));
    if (!report.files.empty())
        addUntaggedFiles(report, importer.identifiedAuxFiles());
    report.root = options.root;
    report.fileCount = fileCount;
    report.unmatchedFileCount = unmatchedCount;

    ValueWarnings valueWarnings(options.patterns);
    valueWarnings.setCases(report.values);
    bool const hasCases = importer.hasCases();
    std::optional<Explanation> explanation;
    if (options.explain || !hasCases) {
        explanation.emplace(options.patterns, options.explainAll ? Explanation::ALL : Explanation::EXAMPLES);
        explanation->setRoot(options.root);
    }
    survey(importer, options.patterns, valueWarnings, explanation ? &*explanation : nullptr);
    if (InterruptWatcher::requested())
        return interrupted();

    if (auxUsable && writeResults) {
        OutputFile out(options.output);
        std::string error;
        if (!out.open(error))
            return fail(OutputNotWritable, "cannot write the output: " + error + ".");
        writeReport(report, format, out.device());
        if (InterruptWatcher::requested())
            return interrupted(); // an existing output file is left as it was
        if (!out.commit(error))
            return fail(OutputNotWritable, "cannot write the output: " + error + ".");
    }
    bool const jsonExplanation = format == OutputFormat::Json && !writeResults;
    if (options.explain && !writeExplanation(*explanation, fileCount, jsonExplanation))
        return fail(OutputNotWritable, "cannot write the explanation to standard output.");
    std::vector<ValueWarning> const warnings = valueWarnings.warnings();
    for (ValueWarning const& warning : warnings)
        say("warning: " + warning.message);
    if (!auxUsable)
        return UnusableAux;
    if (!hasCases) {
        say(noCaseReason(*explanation, fileCount, options.patterns));
        if (status == Success)
            status = NoCases;
    }

    if (!options.quiet) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f s", double(clock.elapsed()) / 1000.0);
        say(counted(fileCount, "file", "files") + ", " + counted(report.caseCount(), "case", "cases") + ", " +
            counted(unmatchedCount, "file", "files") + " in no case, " +
            (warnings.empty() ? "" : counted(warnings.size(), "warning", "warnings") + ", ") + seconds +
            (unmatchedCount > 0 && !options.explain ? " (--explain tells why files are in no case)" : ""));
    }
    // All is written. Taking a big crawl's millions of objects apart one by
    // one costs a tenth of a second per million files; the system frees the
    // memory at once.
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace

int runProgram(QStringList const& arguments)
{
    QElapsedTimer clock;
    clock.start();
    ProgramOptions options;
    try {
        options = parseOptions(arguments);
    } catch (UsageError const& error) {
        return fail(BadOption, std::string(error.what()) + " (filecrawler --help lists the options)");
    }
    if (options.help) {
        std::string const text = helpText();
        std::fwrite(text.data(), 1, text.size(), stdout);
        return Success;
    }
    if (options.version) {
        std::printf("filecrawler %s\n", BRIM_FILECRAWLER_VERSION);
        return Success;
    }

    try {
        return run(std::move(options), clock);
    } catch (std::bad_alloc const&) {
        return fail(InternalError, "out of memory.");
    } catch (std::exception const& error) {
        return fail(InternalError, std::string("unexpected error: ") + error.what());
    }
}

} // namespace cli
