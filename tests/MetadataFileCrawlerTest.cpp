#include "filecrawler/MetadataFileCrawler.h"
#include "FakeFileTree.h"
#include "filecrawler/AuxFileIdentifierValidator.h"
#include "filecrawler/CaseColumnNames.h"
#include "filecrawler/CrawlerBasicImporterParser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vtkStringArray.h>
#include <vtkTable.h>
#include <vtkVariantArray.h>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <functional>
#include <memory>
#include <set>

namespace {
std::atomic<int> threadsStarted{0};
} // namespace

// Every thread started in this program is counted here, then started as usual.
extern "C" int pthread_create(pthread_t* thread, pthread_attr_t const* attributes, void* (*start)(void*),
                              void* argument) noexcept
{
    using Create = int (*)(pthread_t*, pthread_attr_t const*, void* (*)(void*), void*);
    static Create const next = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    threadsStarted.fetch_add(1);
    return next(thread, attributes, start, argument);
}

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A parser that serves fixed case values.
class FixedCases : public CrawlerBasicImporterParser {
public:
    explicit FixedCases(std::vector<std::vector<std::string>> values) : values_(std::move(values)) {}
    std::size_t numDefinedCases() const override { return values_.size(); }
    std::string caseMetadataSValue(std::size_t c, std::size_t k) const override
    {
        return values_.at(c).at(k);
    }

private:
    std::vector<std::vector<std::string>> values_;
};

// Records what extract() delivers, and in which order.
class RecordingContext : public ImportLoadContextInterface {
public:
    void setCaseTable(vtkSmartPointer<vtkTable> t) override
    {
        calls.push_back("table");
        table = t;
    }
    void setAuxFileCollection(boost::shared_ptr<AuxFileCollectionInterface> const& c) override
    {
        calls.push_back("collection");
        collection = c;
    }

    std::vector<std::string> calls;
    vtkSmartPointer<vtkTable> table;
    boost::shared_ptr<AuxFileCollectionInterface> collection;
};

FolderCrawler::Result crawlResult(boost::shared_ptr<FileInfoInterface const> folder,
                                  std::list<std::string> files)
{
    FolderCrawler::Result result;
    result.folder = std::move(folder);
    result.files = std::move(files);
    return result;
}

// Throwing the host's exception with `message`.
testing::Matcher<std::function<void()>> fails(std::string const& message)
{
    return testing::ThrowsMessage<norvale::ExceptionBase>(message);
}

// Each entry as "path:caseIndex".
std::vector<std::string> cases(std::vector<boost::shared_ptr<AuxFileInfoInterface>> const& entries)
{
    std::vector<std::string> out;
    for (auto const& entry : entries)
        out.push_back(entry->filePath() + ":" + std::to_string(entry->caseIndex()));
    return out;
}

MetadataPattern const X("x=", MetadataPattern::Numeric);

TEST(ImporterCrawlResult, FolderIsCheckedForExistenceThenDirectoryThenReadability)
{
    MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());
    RecordingContext context;
    EXPECT_THAT([&] { importer.extract(context); }, fails("Folder name not specified."));
    EXPECT_THAT(context.calls, IsEmpty());
    EXPECT_THAT([&] { importer.setCrawlResult(FolderCrawler::Result()); },
                fails("Folder name not specified."));

    FakeEntry::Ptr const earlier = fakeDir("/study/earlier");
    importer.setCrawlResult(crawlResult(earlier, {"x=1/kept"}));
    struct {
        bool exists, isDirectory, isReadable;
        std::string message;
    } const checks[] = {
        {false, false, false, "The specified folder: /study/old does not exist."},
        {true, false, false, "The specified path: /study/old must be a directory."},
        {true, true, false, "The specified path: /study/old is not readable."},
    };
    for (auto const& check : checks) {
        FakeEntry::Ptr const folder = fakeDir("/study/old");
        folder->present = check.exists;
        folder->directory = check.isDirectory;
        folder->readable = check.isReadable;
        FolderCrawler::Result result = crawlResult(folder, {"x=2/lost"});
        EXPECT_THAT([&] { importer.setCrawlResult(result); }, fails(check.message));
        EXPECT_THAT([&] { importer.setCrawlResult(std::move(result)); }, fails(check.message));
        EXPECT_THAT(result.files, ElementsAre("x=2/lost")); // not taken
    }
    // The earlier result stays in force, and the parser got nothing else.
    EXPECT_EQ(importer.folder(), earlier);
    EXPECT_THAT(importer.files(), ElementsAre("x=1/kept"));
    importer.setMetadataPatternList({X});
    EXPECT_THAT(cases(importer.identifiedAuxFiles()), ElementsAre("x=1/kept:0"));
}

// files() is one list for the importer's life, showing the latest result.
// Entries are objects of their own: one owner each, keeping nothing else
// alive (not the stored result, nor its folder) once the importer is gone.
TEST(ImporterCrawlResult, ResultsReplaceEachOtherInOneListAndEntriesKeepOnlyThemselves)
{
    FakeEntry::Ptr const root = fakeDir("/study");
    long const rootUses = root.use_count();
    auto importer = std::make_unique<MetadataFileCrawler>(std::make_unique<CrawlerBasicImporterParser>());
    importer->setCrawlResult(crawlResult(root, {"x=2/a", "x=1/a", "x=1/b", "x=3/c"})); // taken over
    std::list<std::string> const& files = importer->files();
    EXPECT_THAT(files, ElementsAre("x=2/a", "x=1/a", "x=1/b", "x=3/c"));
    EXPECT_FALSE(importer->hasCases()); // cases wait for a pattern list
    importer->setMetadataPatternList({X});
    auto const held = importer->identifiedAuxFiles();
    EXPECT_EQ(std::set<boost::shared_ptr<AuxFileInfoInterface>>(held.begin(), held.end()).size(), 4u);

    FolderCrawler::Result second = crawlResult(fakeDir("/second"), {"x=3/c", "x=4/d"});
    importer->setCrawlResult(second);
    second.files.clear();
    importer->setMetadataPatternList({X});
    EXPECT_EQ(importer->folder()->path(), "/second");
    EXPECT_EQ(&importer->files(), &files);
    EXPECT_THAT(files, ElementsAre("x=3/c", "x=4/d"));
    EXPECT_THAT(cases(importer->identifiedAuxFiles()),
                ElementsAre("x=1/a:0", "x=1/b:0", "x=2/a:1", "x=3/c:2", "x=4/d:3"));
    importer.reset();
    EXPECT_THAT(cases(held), ElementsAre("x=1/a:0", "x=1/b:0", "x=2/a:1", "x=3/c:2"));
    EXPECT_EQ(root.use_count(), rootUses);
    for (auto const& entry : held)
        EXPECT_EQ(entry.use_count(), 1) << entry->filePath();
}

class Identifiers : public AuxFileIdentifierValidator::IdentifierProviderInterface {
public:
    std::vector<AuxFileIdentifier> identifiers() const override
    {
        return {{"*/log.txt", "log"}, {"*.dat", "data"}, {"*.vtu", "none"}};
    }
};

// The library starts no thread of its own (only the crawler's QThread, not
// used here), however long the lists.
TEST(ImporterThreads, ImportAndIdentificationStartNone)
{
    std::list<std::string> paths;
    for (int i = 0; i < 150000; ++i)
        paths.push_back("Re=" + std::to_string(i % 300) + "/x=" + std::to_string(i / 300 % 50) + "/" +
                        (i % 7 == 0 ? "log.txt" : std::to_string(i) + ".dat"));
    int const before = threadsStarted;
    MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());
    importer.setCrawlResult(crawlResult(fakeDir("/study"), std::move(paths)));
    importer.setMetadataPatternList({MetadataPattern("Re=", MetadataPattern::Numeric), X});
    Identifiers const identifiers;
    AuxFileIdentifierValidator validator(identifiers, importer.identifiedAuxFiles(),
                                         boost::make_shared<TagValidator>());
    EXPECT_EQ(threadsStarted - before, 0) << "while importing";
    EXPECT_FALSE(validator.isValid());
    auto const collection = validator.auxFiles();
    EXPECT_EQ(collection->caseCount(), 15000u);
    EXPECT_EQ(threadsStarted - before, 0) << "while identifying";
}

// A cell as "text" for string columns and "variant:text" for variant ones,
// after checking that variants hold texts, never converted numbers.
std::string cell(vtkTable* table, vtkIdType row, vtkIdType column)
{
    if (auto* strings = vtkStringArray::SafeDownCast(table->GetColumn(column)))
        return strings->GetValue(row);
    auto* const variants = vtkVariantArray::SafeDownCast(table->GetColumn(column));
    if (variants == nullptr)
        return "<other column type>";
    EXPECT_EQ(variants->GetValue(row).GetType(), VTK_STRING);
    return "variant:" + variants->GetValue(row).ToString();
}

class EmptyCollection : public AuxFileCollectionInterface {
public:
    bool isEmpty() const override { return true; }
    std::set<std::string> tags() const override { return {}; }
    std::vector<std::string> auxFilePaths(std::size_t, std::string const&) const override { return {}; }
    std::size_t caseCount() const override { return 0; }
};

TEST(ImporterExtract, DeliversANewCaseTableThenTheCollection)
{
    MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());
    importer.setCrawlResult(crawlResult(fakeDir("/study"), {"Re=200/model=kOmega/a", "notes.txt",
                                                            "Re=100/model=kEps/a", "Re=1.5D+3/model=x.y/a"}));
    importer.setMetadataPatternList({MetadataPattern("Re=", MetadataPattern::Numeric),
                                     MetadataPattern("model=", MetadataPattern::String)});
    RecordingContext context;
    importer.extract(context);
    EXPECT_THAT(context.calls, ElementsAre("table", "collection"));
    EXPECT_FALSE(context.collection);
    vtkTable* const table = context.table;
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetReferenceCount(), 1); // only the context holds it now
    ASSERT_EQ(table->GetNumberOfColumns(), 2);
    EXPECT_STREQ(table->GetColumnName(0), "Re=");
    EXPECT_STREQ(table->GetColumnName(1), "model=");
    ASSERT_EQ(table->GetNumberOfRows(), 3);
    EXPECT_EQ(table->GetColumn(1)->GetNumberOfComponents(), 1);
    // A Fortran exponent is a path value but not a number: "NULL" in the table.
    EXPECT_EQ(cell(table, 0, 0), "variant:NULL");
    EXPECT_EQ(cell(table, 0, 1), "x.y");
    EXPECT_EQ(cell(table, 1, 0), "variant:100");
    EXPECT_EQ(cell(table, 2, 1), "kOmega");

    auto const collection = boost::make_shared<EmptyCollection>();
    importer.setAuxFilesToLoad(collection);
    RecordingContext again;
    importer.extract(again);
    EXPECT_NE(again.table.Get(), table);
    EXPECT_EQ(again.collection, collection);

    // No case: an empty table all the same.
    importer.setMetadataPatternList({MetadataPattern("Mach=", MetadataPattern::Numeric)});
    EXPECT_FALSE(importer.hasCases());
    RecordingContext none;
    importer.extract(none);
    ASSERT_NE(none.table, nullptr);
    EXPECT_EQ(none.table->GetNumberOfColumns() + none.table->GetNumberOfRows(), 0);
}

// The table of an importer whose parser serves fixed case values.
vtkSmartPointer<vtkTable> tableOf(std::vector<MetadataPattern> const& patterns,
                                  std::vector<std::vector<std::string>> const& values)
{
    MetadataFileCrawler importer(std::make_unique<FixedCases>(values));
    importer.setCrawlResult(crawlResult(fakeDir("/study"), {}));
    importer.setMetadataPatternList(patterns);
    RecordingContext context;
    importer.extract(context);
    return context.table;
}

TEST(CaseColumnNames, RepeatedTextsGetCountersAndNamesAreCText)
{
    auto names = [](std::vector<std::string> const& texts) {
        std::vector<MetadataPattern> patterns;
        for (std::string const& text : texts)
            patterns.emplace_back(text, MetadataPattern::String);
        return caseColumnNameList(patterns);
    };
    std::pair<std::vector<std::string>, std::vector<std::string>> const cases[] = {
        {{"Re", "Re", "Re"}, {"Re", "Re(2)", "Re(3)"}},
        {{"A", "A(2)", "A"}, {"A", "A(2)", "A(3)"}},
        {{"A", "A", "A(2)"}, {"A", "A(2)", "A(2)(2)"}},
        {{"A", "A(2)", "A(2)", "A", "A"}, {"A", "A(2)", "A(2)(2)", "A(3)", "A(4)"}},
        {{"", ""}, {"", "(2)"}},
        {{"a", std::string("a\0b", 3)}, {"a", "a(2)"}}, // up to the NUL, as the table stores it
    };
    for (auto const& [texts, expected] : cases)
        EXPECT_EQ(names(texts), expected);
    std::vector<std::string> const many = names(std::vector<std::string>(20000, "x="));
    EXPECT_EQ(many[1] + " " + many.back(), "x=(2) x=(20000)");
}

TEST(CaseTable, NumericTextsStayTextsAndNonNumbersBecomeNull)
{
    std::vector<std::string> const texts = {"1.5e3", "-4", ".5", "", "12e", "-", "1,5", "0x10", "5 "};
    std::vector<std::vector<std::string>> rows;
    for (std::string const& text : texts)
        rows.push_back({text, text, text});
    vtkSmartPointer<vtkTable> const table = tableOf(
        {MetadataPattern("n", MetadataPattern::Numeric), MetadataPattern("s", MetadataPattern::String),
         MetadataPattern("o", static_cast<MetadataPattern::ValueType>(7))},
        rows);
    for (vtkIdType row = 0; row < table->GetNumberOfRows(); ++row) {
        std::string const& text = texts[static_cast<std::size_t>(row)];
        EXPECT_EQ(cell(table, row, 0), "variant:" + (row < 3 ? text : "NULL"));
        EXPECT_EQ(cell(table, row, 1), text); // any other column keeps its texts
        EXPECT_EQ(cell(table, row, 2), "variant:" + text);
    }
}

} // namespace
