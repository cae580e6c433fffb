#include "filecrawler/MetadataFileCrawler.h"
#include "FakeFileTree.h"
#include "filecrawler/CrawlerBasicImporterParser.h"
#include "host/ExceptionBase.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vtkStringArray.h>
#include <vtkTable.h>
#include <vtkVariant.h>
#include <vtkVariantArray.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using ::testing::_;
using ::testing::ElementsAre;
using ::testing::InSequence;
using ::testing::IsEmpty;
using ::testing::NiceMock;
using ::testing::Return;

class MockFileInfo : public FileInfoInterface {
public:
    MOCK_METHOD(bool, isDirectory, (), (const, override));
    MOCK_METHOD(bool, isReadable, (), (const, override));
    MOCK_METHOD(bool, isWritable, (), (const, override));
    MOCK_METHOD(bool, isFile, (), (const, override));
    MOCK_METHOD(bool, exists, (), (const, override));
    MOCK_METHOD(bool, isSymLink, (), (const, override));
    MOCK_METHOD(std::string, path, (), (const, override));
    MOCK_METHOD(std::string, name, (), (const, override));
    MOCK_METHOD(std::uint64_t, size, (), (const, override));
    MOCK_METHOD(std::vector<boost::shared_ptr<FileInfoInterface const>>, children, (std::string const&),
                (const, override));
};

class MockParser : public CrawlerImporterParserInterface {
public:
    MOCK_METHOD(void, appendRawFilePath, (std::string const&), (override));
    MOCK_METHOD(void, clearFilePaths, (), (override));
    MOCK_METHOD(void, applyMetadataPatternList, (std::vector<MetadataPattern> const&), (override));
    MOCK_METHOD(std::vector<MetadataInfo>, metadataInfoList, (std::string const&), (const, override));
    MOCK_METHOD(std::size_t, numDefinedCases, (), (const, override));
    MOCK_METHOD(std::string, caseMetadataSValue, (std::size_t, std::size_t), (const, override));
    MOCK_METHOD(std::vector<boost::shared_ptr<AuxFileInfoInterface>>, crawlerFilePathList, (),
                (const, override));
};

// Records what extract() delivers and in which order.
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

class EmptyCollection : public AuxFileCollectionInterface {
public:
    bool isEmpty() const override { return true; }
    std::set<std::string> tags() const override { return {}; }
    std::vector<std::string> auxFilePaths(std::size_t, std::string const&) const override { return {}; }
    std::size_t caseCount() const override { return 0; }
};

FolderCrawler::Result crawlResult(FakeEntry::Ptr const& folder, std::list<std::string> files)
{
    FolderCrawler::Result result;
    result.folder = folder;
    result.files = std::move(files);
    return result;
}

std::string thrownMessage(std::function<void()> const& action)
{
    try {
        action();
    } catch (norvale::ExceptionBase const& error) {
        return error.what();
    }
    return "<nothing thrown>";
}

// Column names of a table, in order.
std::vector<std::string> columnNames(vtkTable* table)
{
    std::vector<std::string> names;
    for (vtkIdType k = 0; k < table->GetNumberOfColumns(); ++k)
        names.push_back(table->GetColumnName(k));
    return names;
}

// A cell as "text" for string columns and "variant:text" for variant columns,
// after checking that variants hold strings, never converted numbers.
std::string cell(vtkTable* table, vtkIdType row, vtkIdType column)
{
    vtkAbstractArray* const array = table->GetColumn(column);
    if (auto* strings = vtkStringArray::SafeDownCast(array))
        return strings->GetValue(row);
    auto* const variants = vtkVariantArray::SafeDownCast(array);
    if (variants == nullptr)
        return "<other column type>";
    vtkVariant const value = variants->GetValue(row);
    EXPECT_EQ(value.GetType(), VTK_STRING);
    return "variant:" + value.ToString();
}

// An importer whose parser serves fixed case values, one row per case.
struct ImporterWithCases {
    explicit ImporterWithCases(std::vector<std::vector<std::string>> values)
    {
        auto mock = std::make_unique<NiceMock<MockParser>>();
        ON_CALL(*mock, numDefinedCases()).WillByDefault(Return(values.size()));
        ON_CALL(*mock, caseMetadataSValue(_, _)).WillByDefault([values](std::size_t c, std::size_t k) {
            return values.at(c).at(k);
        });
        importer = std::make_unique<MetadataFileCrawler>(std::move(mock));
        importer->setCrawlResult(crawlResult(fakeDir("/study"), {}));
    }

    vtkTable* extract(std::vector<MetadataPattern> const& patterns)
    {
        importer->setMetadataPatternList(patterns);
        importer->extract(context);
        return context.table;
    }

    std::unique_ptr<MetadataFileCrawler> importer;
    RecordingContext context;
};

TEST(ImporterChecks, ExtractBeforeAnyCrawlResultDeliversNothing)
{
    MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());
    RecordingContext context;
    EXPECT_EQ(thrownMessage([&] { importer.extract(context); }), "Folder name not specified.");
    EXPECT_THAT(context.calls, IsEmpty());
    EXPECT_FALSE(importer.folder());
    EXPECT_THAT(importer.files(), IsEmpty());
}

TEST(ImporterChecks, FolderIsCheckedForExistenceThenDirectoryThenReadability)
{
    struct Check {
        bool exists, isDirectory, isReadable;
        std::string message;
    } const checks[] = {
        {false, false, false, "The specified folder: /study/old does not exist."},
        {true, false, true, "The specified path: /study/old must be a directory."},
        {true, true, false, "The specified path: /study/old is not readable."},
    };
    for (Check const& check : checks) {
        auto parser = std::make_unique<MockParser>();
        EXPECT_CALL(*parser, appendRawFilePath(_)).Times(0);
        EXPECT_CALL(*parser, appendRawFilePath("kept"));
        MetadataFileCrawler importer(std::move(parser));
        FakeEntry::Ptr const earlier = fakeDir("/study/earlier");
        importer.setCrawlResult(crawlResult(earlier, {"kept"}));

        auto folder = boost::make_shared<NiceMock<MockFileInfo>>();
        ON_CALL(*folder, path()).WillByDefault(Return("/study/old"));
        {
            InSequence order;
            EXPECT_CALL(*folder, exists()).WillOnce(Return(check.exists));
            if (check.exists)
                EXPECT_CALL(*folder, isDirectory()).WillOnce(Return(check.isDirectory));
            if (check.exists && check.isDirectory)
                EXPECT_CALL(*folder, isReadable()).WillOnce(Return(check.isReadable));
        }
        if (!check.exists)
            EXPECT_CALL(*folder, isDirectory()).Times(0);
        if (!check.exists || !check.isDirectory)
            EXPECT_CALL(*folder, isReadable()).Times(0);

        FolderCrawler::Result result;
        result.folder = folder;
        result.files = {"a", "b"};
        EXPECT_EQ(thrownMessage([&] { importer.setCrawlResult(result); }), check.message);
        // The earlier result stays in force and the parser got nothing.
        EXPECT_EQ(importer.folder(), earlier);
        EXPECT_THAT(importer.files(), ElementsAre("kept"));
    }
}

TEST(ImporterChecks, NullFolderIsRefused)
{
    MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());
    EXPECT_EQ(thrownMessage([&] { importer.setCrawlResult(FolderCrawler::Result()); }),
              "Folder name not specified.");
    EXPECT_FALSE(importer.folder());
}

TEST(ImporterCrawlResult, PartialResultIsAcceptedAndHandedOverInListOrder)
{
    auto parser = std::make_unique<MockParser>();
    {
        InSequence order;
        EXPECT_CALL(*parser, appendRawFilePath("z/1"));
        EXPECT_CALL(*parser, appendRawFilePath("a/2"));
        EXPECT_CALL(*parser, appendRawFilePath("a/2"));
    }
    EXPECT_CALL(*parser, clearFilePaths()).Times(0);
    MetadataFileCrawler importer(std::move(parser));

    FolderCrawler::Result result = crawlResult(fakeDir("/study"), {"z/1", "a/2", "a/2"});
    result.errorString = "The specified path: /study/b is not readable.";
    importer.setCrawlResult(result);
    EXPECT_THAT(importer.files(), ElementsAre("z/1", "a/2", "a/2"));
}

TEST(ImporterCrawlResult, SecondResultReplacesTheFirstButThePathsAddUp)
{
    MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());
    FakeEntry::Ptr const second = fakeDir("/second");
    importer.setCrawlResult(crawlResult(fakeDir("/first"), {"x=1/a"}));
    importer.setCrawlResult(crawlResult(second, {"x=2/a"}));

    EXPECT_EQ(importer.folder(), second);
    EXPECT_THAT(importer.files(), ElementsAre("x=2/a"));
    EXPECT_FALSE(importer.hasCases()); // cases wait for a pattern list
    importer.setMetadataPatternList({MetadataPattern("x=", MetadataPattern::Numeric)});
    EXPECT_EQ(importer.identifiedAuxFiles().size(), 2u);
}

TEST(ImporterExtract, DeliversTheCaseTableThenTheCollection)
{
    MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());
    importer.setCrawlResult(crawlResult(
        fakeDir("/study"),
        {"Re=200/Mach=0.3/model=kOmega/sol.vtu", "notes.txt", "Re=100/Mach=0.3/model=kEpsilon/sol.vtu",
         "Re=100/Mach=0.3/model=kEpsilon/mesh.msh", "Re=1.5D+3/Mach=.5e1/model=x.y/sol.vtu"}));
    std::vector<MetadataPattern> const patterns = {MetadataPattern("Re=", MetadataPattern::Numeric),
                                                   MetadataPattern("Mach=", MetadataPattern::Numeric),
                                                   MetadataPattern("model=", MetadataPattern::String)};
    importer.setMetadataPatternList(patterns);
    ASSERT_TRUE(importer.hasCases());

    std::vector<std::string> identified;
    for (auto const& file : importer.identifiedAuxFiles())
        identified.push_back(std::to_string(file->caseIndex()) + " " + file->filePath());
    EXPECT_THAT(identified, ElementsAre("0 Re=1.5D+3/Mach=.5e1/model=x.y/sol.vtu",
                                        "1 Re=100/Mach=0.3/model=kEpsilon/mesh.msh",
                                        "1 Re=100/Mach=0.3/model=kEpsilon/sol.vtu",
                                        "2 Re=200/Mach=0.3/model=kOmega/sol.vtu"));
    std::vector<MetadataInfo> const infos = importer.metadataInfoList("Re=200/Mach=0.3/model=kOmega/sol.vtu");
    ASSERT_EQ(infos.size(), 3u);
    EXPECT_EQ(infos[2].value, "kOmega");

    RecordingContext context;
    importer.extract(context);
    EXPECT_THAT(context.calls, ElementsAre("table", "collection"));
    EXPECT_FALSE(context.collection);
    vtkTable* const table = context.table;
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetReferenceCount(), 1); // only the context holds it now
    EXPECT_THAT(columnNames(table), ElementsAre("Re=", "Mach=", "model="));
    ASSERT_EQ(table->GetNumberOfRows(), 3);
    for (vtkIdType k = 0; k < 3; ++k) {
        EXPECT_EQ(table->GetColumn(k)->GetNumberOfComponents(), 1);
        EXPECT_EQ(table->GetColumn(k)->GetNumberOfTuples(), 3);
    }
    // A Fortran exponent is a path value but not a number: "NULL" in the table.
    EXPECT_EQ(cell(table, 0, 0), "variant:NULL");
    EXPECT_EQ(cell(table, 0, 1), "variant:.5e1");
    EXPECT_EQ(cell(table, 0, 2), "x.y");
    EXPECT_EQ(cell(table, 1, 0), "variant:100");
    EXPECT_EQ(cell(table, 2, 1), "variant:0.3");
    EXPECT_EQ(cell(table, 2, 2), "kOmega");

    // Each extract builds a new table and passes the collection last given.
    auto const collection = boost::make_shared<EmptyCollection>();
    importer.setAuxFilesToLoad(collection);
    RecordingContext again;
    importer.extract(again);
    EXPECT_NE(again.table.Get(), table);
    EXPECT_EQ(again.collection, collection);
}

TEST(ImporterExtract, NoCasesGiveAnEmptyTableAllTheSame)
{
    MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());
    importer.setCrawlResult(crawlResult(fakeDir("/study"), {"a/b", "c"}));
    importer.setMetadataPatternList({MetadataPattern("Re=", MetadataPattern::Numeric)});
    EXPECT_FALSE(importer.hasCases());
    EXPECT_THAT(importer.identifiedAuxFiles(), IsEmpty());

    RecordingContext context;
    importer.extract(context);
    EXPECT_THAT(context.calls, ElementsAre("table", "collection"));
    ASSERT_NE(context.table, nullptr);
    EXPECT_EQ(context.table->GetNumberOfColumns(), 0);
    EXPECT_EQ(context.table->GetNumberOfRows(), 0);
}

TEST(CaseTable, RepeatedColumnNamesGetCounters)
{
    auto names = [](std::vector<std::string> const& texts) {
        std::vector<MetadataPattern> patterns;
        for (std::string const& text : texts)
            patterns.emplace_back(text, MetadataPattern::String);
        ImporterWithCases importer({std::vector<std::string>(texts.size(), "v")});
        return columnNames(importer.extract(patterns));
    };
    EXPECT_THAT(names({"Re", "Re", "Re"}), ElementsAre("Re", "Re(2)", "Re(3)"));
    EXPECT_THAT(names({"A", "A(2)", "A"}), ElementsAre("A", "A(2)", "A(3)"));
    EXPECT_THAT(names({"A", "A", "A(2)"}), ElementsAre("A", "A(2)", "A(2)(2)"));
    EXPECT_THAT(names({"", ""}), ElementsAre("", "(2)"));
}

TEST(CaseTable, NumericTextsStayTextsAndNonNumbersBecomeNull)
{
    std::vector<std::string> const numericTexts = {"1.5e3", "-4", ".5", "", "12e", "-", "1,5", "0x10", "5 "};
    std::vector<std::vector<std::string>> rows;
    for (std::string const& text : numericTexts)
        rows.push_back({text, text, text});
    ImporterWithCases importer(rows);
    vtkTable* const table = importer.extract(
        {MetadataPattern("n", MetadataPattern::Numeric), MetadataPattern("s", MetadataPattern::String),
         MetadataPattern("o", static_cast<MetadataPattern::ValueType>(7))});

    std::vector<std::string> numeric, strings, other;
    for (vtkIdType row = 0; row < table->GetNumberOfRows(); ++row) {
        numeric.push_back(cell(table, row, 0));
        strings.push_back(cell(table, row, 1));
        other.push_back(cell(table, row, 2));
    }
    EXPECT_THAT(numeric,
                ElementsAre("variant:1.5e3", "variant:-4", "variant:.5", "variant:NULL", "variant:NULL",
                            "variant:NULL", "variant:NULL", "variant:NULL", "variant:NULL"));
    // Texts of any other column are kept unchanged, whatever they hold.
    std::vector<std::string> variants;
    for (std::string const& text : numericTexts)
        variants.push_back("variant:" + text);
    EXPECT_EQ(strings, numericTexts);
    EXPECT_EQ(other, variants);
}

} // namespace
