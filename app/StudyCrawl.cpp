#include "StudyCrawl.h"

#include "CountingFileInfo.h"
#include "Explanation.h"
#include "FilteredFileInfo.h"
#include "HeapWarming.h"
#include "ProgramLoadContext.h"
#include "ProgramOptions.h"
#include "StudyChecks.h"
#include "Survey.h"
#include "ValueWarnings.h"

#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/FolderCrawler.h"
#include "filecrawler/MetadataFileCrawler.h"
#include "filecrawler/MetadataValueNumber.h"
#include "host/ExceptionBase.h"
#include "host/TagValidator.h"

#include <boost/make_shared.hpp>

#include <atomic>
#include <limits>
#include <memory>
#include <new>

namespace cli {
namespace {

using Result = StudyCrawlResult;

char const* const INTERRUPTED = "interrupted; the crawl was stopped.";

// Applies the identifiers; false when some are unusable and must not be skipped.
bool chooseAuxFiles(MetadataFileCrawler& importer,
                    std::vector<boost::shared_ptr<AuxFileInfoInterface>> candidates,
                    StudyCrawlOptions const& options, Result& result)
{
    if (options.identifiers.empty() || !importer.hasCases())
        return true;
    IdentifierList const provider(options.identifiers);
    AuxFileIdentifierValidator validator(provider, std::move(candidates), boost::make_shared<TagValidator>());
    if (!validator.isValid()) {
        std::vector<std::string> messages = unusableIdentifierMessages(validator, options.skipUnusableAux);
        if (!options.skipUnusableAux) {
            result.error = Result::UnusableAux;
            result.errorMessage =
                std::to_string(messages.size()) +
                (messages.size() == 1 ? " unusable --aux identifier" : " unusable --aux identifiers");
            result.unusableIdentifiers = std::move(messages);
            return false;
        }
        result.warnings.insert(result.warnings.end(), messages.begin(), messages.end());
    }
    importer.setAuxFilesToLoad(validator.auxFiles());
    return true;
}

// Walks `root` on the crawler's thread; null when `poll` stopped it.
std::unique_ptr<FolderCrawler> walk(boost::shared_ptr<FileInfoInterface const> root,
                                    std::shared_ptr<CountingFileInfo::Counter> const& files,
                                    StudyCrawlPoll const& poll, int pollIntervalMs)
{
    auto const folders = std::make_shared<std::atomic<std::uint64_t>>(0);
    auto crawler = std::make_unique<FolderCrawler>(std::move(root));
    // No receiver: called directly on the crawler's thread.
    QObject::connect(crawler.get(), &FolderCrawler::processingDirectory,
                     [folders](QString const&) { folders->fetch_add(1, std::memory_order_relaxed); });
    crawler->start();
    while (!crawler->wait(static_cast<unsigned long>(pollIntervalMs)))
        if (poll && !poll(folders->load(std::memory_order_relaxed), files->load(std::memory_order_relaxed)))
            return nullptr; // destroying the crawler aborts the walk and waits for its thread
    crawler->wait();
    if (poll && !poll(folders->load(std::memory_order_relaxed), files->load(std::memory_order_relaxed)))
        return nullptr;
    return crawler;
}

// The report's texts and their numbers, column by column.
void readCases(Result& result, ImportReport const& report)
{
    std::size_t const cases = report.caseCount();
    result.texts.resize(report.columns.size());
    result.numbers.resize(report.columns.size());
    for (std::size_t c = 0; c < report.columns.size(); ++c) {
        result.texts[c].reserve(cases);
        result.numbers[c].reserve(cases);
        for (std::vector<std::string> const& row : report.texts) {
            result.texts[c].push_back(row[c]);
            std::optional<double> const number =
                report.columns[c].numeric ? metadataValueNumber(row[c]) : std::nullopt;
            result.numbers[c].push_back(number.value_or(std::numeric_limits<double>::quiet_NaN()));
        }
    }
}

void listFiles(Result& result, ImportReport& report)
{
    std::size_t count = 0;
    for (auto const& byTag : report.files)
        for (auto const& paths : byTag)
            count += paths.size();
    result.fileCase.reserve(count);
    result.fileTag.reserve(count);
    result.filePath.reserve(count);
    for (std::size_t caseIndex = 0; caseIndex < report.files.size(); ++caseIndex)
        for (std::size_t t = 0; t < report.files[caseIndex].size(); ++t)
            for (std::string& path : report.files[caseIndex][t]) {
                result.fileCase.push_back(caseIndex);
                result.fileTag.push_back(std::uint32_t(t));
                result.filePath.push_back(std::move(path));
            }
    result.tags = report.tags;
}

// The crawl and the import; throws ProgramError for a crawl without results.
Result crawlAndImport(StudyCrawlOptions const& options, StudyCrawlPoll const& poll, int pollIntervalMs)
{
    Result result;
    result.root = options.root;

    auto const filter = std::make_shared<CrawlFilter>(options.excludes, options.keepGoing);
    WalkOptions walkOptions;
    walkOptions.maxWaysPerFolder = options.maxWays;
    boost::shared_ptr<FileInfoInterface const> root = filteredRoot(options.root, filter, walkOptions);
    checkRoot(*root);

    auto const files = std::make_shared<CountingFileInfo::Counter>(0);
    auto const stop = std::make_shared<CrawlStop>();
    root = boost::make_shared<CountingFileInfo const>(root, files, stop);
    std::unique_ptr<FolderCrawler> crawler = walk(root, files, poll, pollIntervalMs);
    if (!crawler)
        throw ProgramError(Interrupted, INTERRUPTED);
    FolderCrawler::Result const& crawl = crawler->result();
    if (!crawl.errorString.isNull()) {
        std::string const error = crawl.errorString.toStdString();
        if (error == FolderCrawler::ROOT_PATH_DOES_NOT_EXIST_ERROR_STRING ||
            error == FolderCrawler::ROOT_PATH_IS_NOT_READABLE_ERROR_STRING)
            rootChanged(options.root, error);
        if (stop->kind == CrawlStop::LimitPassed)
            throw ProgramError(CrawlLimit, error);
        if (stop->kind == CrawlStop::ResourcesExhausted || error == std::bad_alloc().what())
            throw std::bad_alloc(); // memory or descriptors ran out: no result to give
        result.error = Result::CrawlIncomplete;
        result.errorMessage = error + " The crawl stopped there; the results cover the " +
                              std::to_string(crawl.files.size()) +
                              (crawl.files.size() == 1 ? " file" : " files") + " found before it.";
    }
    result.skipped = filter->skippedFolders();
    for (std::string const& folder : result.skipped)
        result.warnings.push_back(folder + " is not readable; skipped (--keep-going).");

    // The steps below allocate some 400 bytes a file on this thread: the
    // program's, and the lists of files and reasons.
    constexpr std::size_t warmedBytesPerFile = 450;
    HeapWarming const warming(warmedBytesPerFile * crawl.files.size());
    auto parser = std::make_unique<CrawlerBasicImporterParser>();
    CrawlerImporterParserInterface const& cases = *parser; // the importer's from here on
    MetadataFileCrawler importer(std::move(parser));
    try {
        importer.setCrawlResult(crawler->takeResult());
    } catch (norvale::ExceptionBase const& error) {
        rootChanged(options.root, error.what());
    }
    crawler.reset();
    importer.setMetadataPatternList(options.patterns);
    auto const pollAgain = [&] {
        if (poll && !poll(0, importer.files().size()))
            throw ProgramError(Interrupted, INTERRUPTED);
    };
    pollAgain();

    // The survey of the values reads the paths on a thread of its own while
    // the library's stages go on here; the cases it needs come last.
    ValueWarnings valueWarnings(options.patterns);
    Explanation explanation(options.patterns, Explanation::ALL);
    explanation.setRoot(options.root);
    ConcurrentSurvey surveying(importer.files(), options.patterns, valueWarnings, &explanation);

    result.fileCount = importer.files().size();
    std::vector<boost::shared_ptr<AuxFileInfoInterface>> const caseFiles = importer.identifiedAuxFiles();
    bool const auxUsable = chooseAuxFiles(importer, caseFiles, options, result);
    pollAgain();

    ProgramLoadContext context;
    importer.extract(context);
    result.caseTable = context.caseTable();
    ImportReport report = buildReport(context, cases, options.patterns, options.identifiers, auxUsable);
    if (auxUsable && report.files.empty()) // no identifier: every file of a case is untagged
        report.files.assign(report.caseCount(), {});
    addUntaggedFiles(report, caseFiles);
    result.columns = report.columns;
    readCases(result, report);
    listFiles(result, report);

    surveying.join();
    setCasesAfterSurvey(valueWarnings, report.texts, importer.files(), options.patterns);
    pollAgain();
    for (Explanation::Group const& group : explanation.groups()) {
        std::string const reason = describe(group.reason, options.patterns);
        for (std::string const& path : group.examples) {
            result.unmatchedPath.push_back(path);
            result.unmatchedReason.push_back(reason);
        }
    }
    for (ValueWarning const& warning : valueWarnings.warnings())
        result.warnings.push_back(warning.message);
    return result;
}

} // namespace

StudyCrawlResult crawlStudy(StudyCrawlOptions const& options, StudyCrawlPoll const& poll, int pollIntervalMs)
{
    if (options.maxWays == 0)
        throw UsageError("max ways 0: expected a whole number of 1 or more");
    try {
        return crawlAndImport(options, poll, pollIntervalMs);
    } catch (ProgramError const& error) {
        Result result;
        result.root = options.root;
        result.errorMessage = error.what();
        switch (error.status()) {
        case RootMissing:
            result.error = Result::RootMissing;
            break;
        case RootNotDirectory:
            result.error = Result::RootNotDirectory;
            break;
        case RootNotReadable:
            result.error = Result::RootNotReadable;
            break;
        case CrawlLimit:
            result.error = Result::CrawlLimit;
            break;
        case Interrupted:
            result.error = Result::Interrupted;
            break;
        default:
            throw;
        }
        return result;
    }
}

} // namespace cli
