#include "Program.h"

#include "ExitStatus.h"
#include "Explanation.h"
#include "FilteredFileInfo.h"
#include "HeapWarming.h"
#include "ImportReport.h"
#include "InterruptWatcher.h"
#include "InterruptibleWork.h"
#include "OutputFile.h"
#include "OutputWriters.h"
#include "ProgramError.h"
#include "ProgramLoadContext.h"
#include "ProgramOptions.h"
#include "SampleStudy.h"
#include "StudyChecks.h"
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
#include "host/TagValidator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <boost/make_shared.hpp>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <optional>
#include <system_error>
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

std::string const NOTHING_WRITTEN = "nothing was written";

// Says each unusable identifier's message; returns how many there are.
std::size_t reportUnusableIdentifiers(AuxFileIdentifierValidator const& validator, bool skipping)
{
    std::vector<std::string> const messages = unusableIdentifierMessages(validator, skipping);
    for (std::string const& message : messages)
        say(message);
    return messages.size();
}

// What the stages after the crawl build, millions of objects on a big crawl.
// run() holds them until the program ends with _Exit, which gives their
// memory back at once instead of one object at a time.
struct StudyObjects {
    std::unique_ptr<MetadataFileCrawler> importer;
    // The validator and the provider it asks, with a pointer to every file of a case.
    std::unique_ptr<IdentifierList const> identifiers;
    std::unique_ptr<AuxFileIdentifierValidator> validator;
    std::vector<boost::shared_ptr<AuxFileInfoInterface>> caseFiles;
    ImportReport report;
};

// Applies the identifiers; false when some are unusable and must not be skipped.
bool chooseAuxFiles(MetadataFileCrawler& importer,
                    std::vector<boost::shared_ptr<AuxFileInfoInterface>> candidates,
                    ProgramOptions const& options, StudyObjects& kept)
{
    if (options.identifiers.empty() || !importer.hasCases())
        return true; // nothing to identify, or no case to identify in: no collection
    kept.identifiers = std::make_unique<IdentifierList const>(options.identifiers);
    kept.validator = std::make_unique<AuxFileIdentifierValidator>(*kept.identifiers, std::move(candidates),
                                                                  boost::make_shared<TagValidator>());
    AuxFileIdentifierValidator& validator = *kept.validator;
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

// The stage the program is in, for messages; set by the thread that runs it.
std::atomic<char const*> stage{"starting"};

// What the outputs hold once the program gives up, for its last message.
std::string outcome(OutputFile& results, bool writeResults, OutputFile& explanation)
{
    std::string const explained = explanation.abandon();
    if (!writeResults)
        return explained;
    std::string const written = results.abandon();
    return explained == NOTHING_WRITTEN ? written : written + "; " + explained;
}

// The stages after the crawl, from the files found to the outputs written.
// Runs on a thread of its own; returns the exit status of a run that wrote
// its results, throws ProgramError for one that did not.
int finish(ProgramOptions const& options, FolderCrawler::Result crawl, ExitStatus status, OutputFile& results,
           OutputFile& explanationOutput, QElapsedTimer const& clock, StudyObjects& kept)
{
    OutputFormat const format = outputFormat(options);
    bool const writeResults = !options.explain || !options.toStandardOutput();

    stage = "reading the values in the paths";
    // The stages below allocate some 200 bytes a file on this thread.
    constexpr std::size_t warmedBytesPerFile = 240;
    HeapWarming const warming(warmedBytesPerFile * crawl.files.size());
    auto parser = std::make_unique<CrawlerBasicImporterParser>();
    CrawlerImporterParserInterface const& cases = *parser; // the importer's from here on
    kept.importer = std::make_unique<MetadataFileCrawler>(std::move(parser));
    MetadataFileCrawler& importer = *kept.importer;
    try {
        importer.setCrawlResult(std::move(crawl)); // millions of paths: taken over, not copied
    } catch (norvale::ExceptionBase const& error) {
        rootChanged(options.root, error.what());
    }
    if (writeResults && !options.toStandardOutput() && !options.overwriteStudyFile) {
        std::string const studyFile = crawledFileAt(options.output, options.root, importer.files());
        if (!studyFile.empty())
            throw ProgramError(OutputNotWritable,
                               "cannot write the output: " + options.output + " is the file " + studyFile +
                                   " of the study, which the crawl lists; nothing was "
                                   "written. --overwrite-study-file replaces it all the same.");
    }
    importer.setMetadataPatternList(options.patterns);

    // The survey of the values reads the paths on a thread of its own while
    // the library's stages go on here; the cases it needs come last.
    ValueWarnings valueWarnings(options.patterns);
    bool const hasCases = importer.hasCases();
    std::optional<Explanation> explanation;
    if (options.explain || !hasCases) {
        explanation.emplace(options.patterns, options.explainAll ? Explanation::ALL : Explanation::EXAMPLES);
        explanation->setRoot(options.root);
    }
    ConcurrentSurvey surveying(importer.files(), options.patterns, valueWarnings,
                               explanation ? &*explanation : nullptr);

    stage = "identifying the --aux files";
    std::size_t const fileCount = importer.files().size();
    std::vector<boost::shared_ptr<AuxFileInfoInterface>> candidates = importer.identifiedAuxFiles();
    std::size_t const unmatchedCount = fileCount - candidates.size();
    bool const auxUsable = chooseAuxFiles(importer, std::move(candidates), options, kept);

    stage = "forming the cases";
    ProgramLoadContext context;
    importer.extract(context);
    ImportReport& report = kept.report;
    report = buildReport(context, cases, options.patterns, options.identifiers,
                         writeResults && auxUsable && showsFiles(format));
    if (!report.files.empty()) {
        kept.caseFiles = importer.identifiedAuxFiles();
        addUntaggedFiles(report, kept.caseFiles);
    }
    report.root = options.root;
    report.fileCount = fileCount;
    report.unmatchedFileCount = unmatchedCount;

    stage = "checking the values";
    surveying.join();
    setCasesAfterSurvey(valueWarnings, report.texts, importer.files(), options.patterns);

    // A write that Ctrl-C cancelled fails too; the main thread has said so
    // and ended the program by then.
    if (auxUsable && writeResults) {
        stage = "writing the results";
        results.begin();
        writeReport(report, format, results.device());
        results.commit();
    }
    if (options.explain) {
        stage = "writing the explanation";
        if (format == OutputFormat::Json && !writeResults)
            explanation->writeJson(fileCount, explanationOutput.device());
        else
            explanation->write(fileCount, explanationOutput.device());
        explanationOutput.commit();
    }
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
    return status;
}

// A crawl that stopped with `error`: throws ProgramError when there is
// nothing to write, else (a folder below ROOT could not be read) says so,
// and the results of the files found go out.
void crawlStopped(std::string const& error, CrawlStop const& stop, std::size_t filesFound)
{
    if (stop.kind == CrawlStop::LimitPassed)
        throw ProgramError(CrawlLimit, error + " Nothing was written.");
    if (stop.kind == CrawlStop::ResourcesExhausted)
        throw ProgramError(ResourcesExhausted,
                           "the crawl stopped at " + stop.path + ": " + stop.what + "; nothing was written.");
    if (stop.kind == CrawlStop::None) {
        // Not a folder's doing: the crawl itself failed.
        bool const memory = error == std::bad_alloc().what();
        throw ProgramError(memory ? ResourcesExhausted : InternalError,
                           "the crawl stopped: " + (memory ? std::string("memory ran out") : error) +
                               "; nothing was written.");
    }
    say(error + " The crawl stopped there; the results cover the " + counted(filesFound, "file", "files") +
        " found before it.");
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
    bool const writeResults = !options.explain || !options.toStandardOutput();

    // The outputs are opened first, so that no crawl is wasted on one that
    // cannot be written, and so that a FIFO is waited for where Ctrl-C works.
    InterruptWatcher interrupts;
    OutputFile results(options.output, "the output", "the results");
    OutputFile explanation("-", "the explanation", "the explanation");
    if (writeResults)
        results.open(&InterruptWatcher::requested);
    if (options.explain)
        explanation.open(&InterruptWatcher::requested);

    auto const filter = std::make_shared<CrawlFilter>(options.excludes, options.keepGoing);
    WalkOptions walk;
    walk.maxWaysPerFolder = options.maxWays;
    boost::shared_ptr<FileInfoInterface const> const root = filteredRoot(options.root, filter, walk);
    checkRoot(*root);

    auto const stop = std::make_shared<CrawlStop>();
    std::unique_ptr<FolderCrawler> crawler =
        crawlTree(root, !options.quiet && isatty(STDERR_FILENO), interrupts, stop);
    if (!crawler)
        throw ProgramError(Interrupted, "interrupted; the crawl was stopped and nothing was written.");
    ExitStatus status = Success;
    if (!crawler->result().errorString.isNull()) {
        std::string const error = crawler->result().errorString.toStdString();
        if (error == FolderCrawler::ROOT_PATH_DOES_NOT_EXIST_ERROR_STRING ||
            error == FolderCrawler::ROOT_PATH_IS_NOT_READABLE_ERROR_STRING)
            rootChanged(options.root, error);
        crawlStopped(error, *stop, crawler->result().files.size());
        status = CrawlIncomplete;
    }
    std::vector<std::string> const skipped = filter->skippedFolders();
    for (std::string const& folder : skipped)
        say("warning: " + folder + " is not readable; skipped (--keep-going).");
    if (status == Success && !skipped.empty())
        status = SomeFoldersSkipped;
    FolderCrawler::Result crawl = crawler->takeResult();
    crawler.reset();

    // The library's stages have no abort: they run on a thread of their own
    // while this one answers Ctrl-C.
    int finalStatus = Success;
    StudyObjects kept;
    try {
        bool const finished = runInterruptibly([&] {
            finalStatus = finish(options, std::move(crawl), status, results, explanation, clock, kept);
        });
        if (!finished) {
            say(std::string("interrupted while ") + stage.load() + "; " +
                outcome(results, writeResults, explanation) + ".");
            std::fflush(stderr);
            _exit(Interrupted); // the stages still run; their objects are not taken apart
        }
    } catch (ProgramError const&) {
        throw; // said as it is
    } catch (std::bad_alloc const&) {
        throw ProgramError(ResourcesExhausted, std::string("memory ran out while ") + stage.load() + "; " +
                                                   outcome(results, writeResults, explanation) + ".");
    } catch (std::exception const& failure) {
        throw ProgramError(InternalError, std::string("unexpected error while ") + stage.load() + ": " +
                                              failure.what() + "; " +
                                              outcome(results, writeResults, explanation) + ".");
    }

    // All is written. Taking a big crawl's millions of objects (kept's) apart
    // one by one costs a tenth of a second per million files; the system
    // frees the memory at once.
    std::fflush(nullptr);
    std::_Exit(finalStatus);
}

} // namespace

int runProgram(QStringList const& arguments)
{
    QElapsedTimer clock;
    clock.start();
    try {
        ProgramOptions options = parseOptions(arguments);
        if (options.help) {
            std::string const text = helpText();
            std::fwrite(text.data(), 1, text.size(), stdout);
            return Success;
        }
        if (options.version) {
            std::printf("filecrawler %s\n", BRIM_FILECRAWLER_VERSION);
            return Success;
        }
        return run(std::move(options), clock);
    } catch (UsageError const& error) {
        return fail(BadOption, std::string(error.what()) + " (filecrawler --help lists the options)");
    } catch (ProgramError const& error) {
        return fail(error.status(), error.what());
    } catch (std::bad_alloc const&) {
        return fail(ResourcesExhausted, "memory ran out; nothing was written.");
    } catch (std::system_error const& error) {
        // Threads, descriptors and the like.
        return fail(ResourcesExhausted, std::string(error.what()) + "; nothing was written.");
    } catch (std::exception const& error) {
        return fail(InternalError, std::string("unexpected error: ") + error.what());
    }
}

} // namespace cli
