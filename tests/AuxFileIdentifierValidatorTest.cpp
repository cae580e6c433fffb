#include "filecrawler/AuxFileIdentifierValidator.h"
#include "filecrawler/CrawlerBasicImporterParser.h"
#include "filecrawler/FolderCrawler.h"
#include "filecrawler/MetadataFileCrawler.h"
#include "filecrawler/SyntaxNameSelection.h"
#include "host/ExceptionBase.h"
#include "host/LocalFileInfo.h"

#include <QTemporaryDir>
#include <boost/make_shared.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class FakeFile : public virtual AuxFileInfoInterface {
public:
    FakeFile(std::string path, std::size_t caseIndex) : path_(std::move(path)), caseIndex_(caseIndex) {}
    std::string filePath() const override
    {
        ++pathCalls;
        return path_;
    }
    bool isIdentified() const override { return true; }
    void setCaseIndex(std::size_t index) override { caseIndex_ = index; }
    std::size_t caseIndex() const override { return caseIndex_; }
    std::string description() const override { return path_; }
    Type type() const override { return Unknown; }

    mutable int pathCalls = 0;

private:
    std::string path_;
    std::size_t caseIndex_;
};

using Files = std::vector<boost::shared_ptr<AuxFileInfoInterface>>;

Files files(std::vector<std::pair<std::string, std::size_t>> const& paths)
{
    Files list;
    for (auto const& path : paths)
        list.push_back(boost::make_shared<FakeFile>(path.first, path.second));
    return list;
}

class Provider : public AuxFileIdentifierValidator::IdentifierProviderInterface {
public:
    std::vector<AuxFileIdentifier> identifiers() const override
    {
        ++calls;
        return list;
    }

    std::vector<AuxFileIdentifier> list;
    mutable int calls = 0;
};

// The stand-in's tag rules, recording every tag it is asked about.
class RecordingTagValidator : public TagValidator {
public:
    norvale::ValidationResult validate(std::string const& tag) const override
    {
        judged.push_back(tag);
        return TagValidator::validate(tag);
    }

    mutable std::vector<std::string> judged;
};

// Every filed path as "case tag path", by case, then tag, then filing order.
std::vector<std::string> contents(AuxFileCollectionInterface const& collection)
{
    std::vector<std::string> lines;
    for (std::size_t c = 0; c < collection.caseCount(); ++c)
        for (std::string const& tag : collection.tags())
            for (std::string const& path : collection.auxFilePaths(c, tag))
                lines.push_back(std::to_string(c) + " " + tag + " " + path);
    return lines;
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

// The scans of the candidate list that `action` makes.
std::size_t scansOf(std::function<void()> const& action)
{
    std::size_t const before = syntaxname::scanCount();
    action();
    return syntaxname::scanCount() - before;
}

struct Fixture {
    explicit Fixture(Files candidates, std::vector<AuxFileIdentifier> identifiers = {})
        : tags(boost::make_shared<RecordingTagValidator>()), validator(provider, std::move(candidates), tags)
    {
        provider.list = std::move(identifiers);
    }

    bool validates(std::string const& syntaxName) const
    {
        return validator.syntaxNameValidator()->validate(syntaxName).isValid();
    }

    Provider provider;
    boost::shared_ptr<RecordingTagValidator> tags;
    AuxFileIdentifierValidator validator;
};

TEST(AuxFileIdentifierValidator, EmptyIdentifierListIsValidAndEmptiesTheCache)
{
    Fixture f(files({{"a.dat", 0}}));
    EXPECT_EQ(scansOf([&] { EXPECT_TRUE(f.validates("*.dat")); }), 1u);
    EXPECT_EQ(scansOf([&] { EXPECT_TRUE(f.validates("*.dat")); }), 0u);

    EXPECT_TRUE(f.validator.isValid());
    EXPECT_EQ(f.provider.calls, 1);
    EXPECT_EQ(scansOf([&] { EXPECT_TRUE(f.validates("*.dat")); }), 1u);

    auto const collection = f.validator.auxFiles();
    EXPECT_TRUE(collection->isEmpty());
    EXPECT_THAT(collection->tags(), IsEmpty());
    EXPECT_EQ(collection->caseCount(), 0u);
    EXPECT_THAT(f.tags->judged, IsEmpty());
}

TEST(AuxFileIdentifierValidator, ValidityWalkStopsAtTheFirstUnusableIdentifier)
{
    Fixture f(files({{"a.dat", 0}, {"b.txt", 0}}),
              {{"", ""}, {"*.dat", "data"}, {"*.dat", "bad tag"}, {"*.txt", "text"}});
    EXPECT_EQ(scansOf([&] { EXPECT_TRUE(f.validates("*.txt")); }), 1u);

    EXPECT_FALSE(f.validator.isValid());
    // Asked twice; the empty identifier is accepted without a question, and
    // the last identifier is never judged, so its cached syntax name is pruned.
    EXPECT_EQ(f.provider.calls, 2);
    EXPECT_THAT(f.tags->judged, ElementsAre("data", "bad tag"));
    EXPECT_EQ(scansOf([&] { EXPECT_TRUE(f.validates("*.txt")); }), 1u);

    // A syntax name that selects nothing makes the list invalid too.
    f.provider.list = {{"*.dat", "data"}, {"*.vtu", "solution"}};
    EXPECT_FALSE(f.validator.isValid());
    f.provider.list = {{"", ""}, {"*.dat", "data"}};
    EXPECT_TRUE(f.validator.isValid());
}

TEST(AuxFileIdentifierValidator, RemembersValidSyntaxNamesUntilTheyLeaveTheList)
{
    Fixture f(files({{"a.dat", 0}, {"b.txt", 0}}), {{"*.dat", "data"}, {"*.txt", "text"}});
    EXPECT_EQ(scansOf([&] { EXPECT_TRUE(f.validator.isValid()); }), 2u);
    EXPECT_EQ(scansOf([&] { EXPECT_TRUE(f.validator.isValid()); }), 0u);
    EXPECT_EQ(scansOf([&] { EXPECT_TRUE(f.validates("*.dat")); }), 0u);

    // auxFiles() fills the cache but does not prune it; isValid() does.
    f.provider.list = {{"a.*", "data"}};
    EXPECT_EQ(scansOf([&] { f.validator.auxFiles(); }), 2u); // validation, then selection
    EXPECT_EQ(scansOf([&] { EXPECT_TRUE(f.validates("*.txt")); }), 0u);
    EXPECT_EQ(scansOf([&] { EXPECT_TRUE(f.validator.isValid()); }), 0u);
    EXPECT_EQ(scansOf([&] { EXPECT_TRUE(f.validates("*.txt")); }), 1u);

    // A syntax name that selects nothing is never remembered.
    f.provider.list = {{"*.vtu", "solution"}};
    EXPECT_EQ(scansOf([&] { EXPECT_FALSE(f.validator.isValid()); }), 1u);
    EXPECT_EQ(scansOf([&] { EXPECT_FALSE(f.validator.isValid()); }), 1u);
    EXPECT_EQ(f.validator.syntaxNameValidator()->validate("*.vtu").errorString(), "Invalid pattern.");
}

TEST(AuxFileIdentifierValidator, FilesEachCandidateOnceUnderTheFirstUsableIdentifier)
{
    Fixture f(
        files(
            {{"c0/log.txt", 0}, {"c0/mesh.dat", 0}, {"c0/grid.dat", 0}, {"c1/b.txt", 1}, {"c1/mesh.dat", 1}}),
        {{"*.txt", "text"},
         {"*.dat", "bad tag!"},
         {"*/grid.dat", "data"},
         {"*.vtu", "never"},
         {"*.dat", "data"},
         {"log.txt", "data"}});
    auto const collection = f.validator.auxFiles();
    EXPECT_EQ(f.provider.calls, 1);
    EXPECT_THAT(collection->tags(), ElementsAre("data", "text"));
    // Within a case and tag: identifier order first, then candidate order.
    EXPECT_THAT(contents(*collection),
                ElementsAre("0 data c0/grid.dat", "0 data c0/mesh.dat", "0 text c0/log.txt",
                            "1 data c1/mesh.dat", "1 text c1/b.txt"));
    // Empty identifiers are judged like any other in auxFiles().
    f.provider.list = {{"", ""}};
    EXPECT_TRUE(f.validator.auxFiles()->isEmpty());
    EXPECT_EQ(f.tags->judged.back(), "");
}

TEST(AuxFileIdentifierValidator, CandidatesOfOnePathAreFiledOnceAsTheLastOfThem)
{
    Files const candidates = files({{"x/a.dat", 0}, {"x/b.dat", 0}, {"x/a.dat", 3}});
    Fixture f(candidates, {{"*.dat", "data"}});
    auto const collection = f.validator.auxFiles();
    EXPECT_THAT(contents(*collection), ElementsAre("0 data x/b.dat", "3 data x/a.dat"));
    // The earlier candidate's path was read once, when the validator was made.
    EXPECT_EQ(dynamic_cast<FakeFile const&>(*candidates[0]).pathCalls, 1);
    EXPECT_EQ(dynamic_cast<FakeFile const&>(*candidates[2]).pathCalls, 2);

    // Gaps between case indices hold nothing, under any tag.
    EXPECT_EQ(collection->caseCount(), 4u);
    for (std::size_t c = 1; c < 3; ++c)
        EXPECT_THAT(collection->auxFilePaths(c, "data"), IsEmpty());
    EXPECT_THAT(collection->auxFilePaths(0, "Data"), IsEmpty());
    EXPECT_THAT(collection->auxFilePaths(0, "zzz"), IsEmpty());
}

// Gives another path on every call.
class ChangingFile : public FakeFile {
public:
    ChangingFile() : FakeFile("", 0) {}
    std::string filePath() const override { return "p/" + std::to_string(++calls) + ".dat"; }
    mutable int calls = 0;
};

TEST(AuxFileIdentifierValidator, ClaimsEachCandidateObjectOnce)
{
    // Entries that share one allocation, and so one owner, are distinct
    // candidates.
    struct Pair {
        FakeFile first{"p/x.dat", 0};
        FakeFile second{"p/y.dat", 1};
    };
    auto const owner = boost::make_shared<Pair>();
    Fixture f({boost::shared_ptr<AuxFileInfoInterface>(owner, &owner->first),
               boost::shared_ptr<AuxFileInfoInterface>(owner, &owner->second)},
              {{"*.dat", "data"}});
    EXPECT_THAT(contents(*f.validator.auxFiles()), ElementsAre("0 data p/x.dat", "1 data p/y.dat"));

    // One object listed under two names is filed once, with the path it
    // gives when it is filed.
    auto const changing = boost::make_shared<ChangingFile>();
    Fixture g({changing, changing}, {{"p/?.dat", "data"}});
    EXPECT_THAT(contents(*g.validator.auxFiles()), ElementsAre("0 data p/3.dat"));
}

TEST(AuxFileIdentifierValidator, FilesByteStringPathsUnchanged)
{
    // Latin-1 text, bytes that are not UTF-8, and two paths that a UTF-8
    // conversion would make one.
    std::vector<std::string> const paths = {"caf\xe9/r\xe9sultat.dat", "\xc3\x28.dat", "\xfe.dat",
                                            "\xff.dat"};
    Fixture f(files({{paths[0], 0}, {paths[1], 1}, {paths[2], 2}, {paths[3], 2}}),
              {{"*\xe9sultat.dat", "result"}, {"*.dat", "data"}});
    EXPECT_TRUE(f.validator.isValid());
    EXPECT_THAT(contents(*f.validator.auxFiles()), ElementsAre("0 result " + paths[0], "1 data " + paths[1],
                                                               "2 data " + paths[2], "2 data " + paths[3]));

    // A path is matched up to a NUL, as Qt reads 8-bit text, and filed whole;
    // paths equal up to the NUL are one name, standing for the later file.
    std::string const withNul("a.dat\0one", 9);
    std::string const otherWithNul("a.dat\0two", 9);
    Fixture g(files({{withNul, 0}, {otherWithNul, 1}}), {{"*one", "one"}, {"*.dat", "data"}});
    EXPECT_FALSE(g.validator.isValid());
    EXPECT_THAT(contents(*g.validator.auxFiles()), ElementsAre("1 data " + otherWithNul));
}

TEST(AuxFileIdentifierValidator, CollectionOutlivesTheValidator)
{
    boost::shared_ptr<AuxFileCollectionInterface> collection;
    {
        Fixture f(files({{"a/x.dat", 0}, {"a/y.dat", 1}}), {{"*.dat", "data"}});
        collection = f.validator.auxFiles();
    }
    EXPECT_THAT(contents(*collection), ElementsAre("0 data a/x.dat", "1 data a/y.dat"));
}

TEST(AuxFileIdentifierValidator, ReportsMissingParts)
{
    Provider provider;
    provider.list = {{"*.dat", "data"}};
    // Without a tag validator only a list of empty identifiers can be judged.
    AuxFileIdentifierValidator untagged(provider, files({{"a.dat", 0}}), nullptr);
    EXPECT_EQ(untagged.tagValidator(), nullptr);
    EXPECT_THAT(thrownMessage([&] { untagged.isValid(); }), HasSubstr("tag: data"));
    provider.list = {{"", ""}};
    EXPECT_TRUE(untagged.isValid());

    Files broken = files({{"a.dat", 0}});
    broken.push_back(nullptr);
    EXPECT_THAT(thrownMessage([&] { AuxFileIdentifierValidator(provider, broken, nullptr); }),
                HasSubstr("position 1"));
}

// Records what extract() delivers.
class RecordingContext : public ImportLoadContextInterface {
public:
    void setCaseTable(vtkSmartPointer<vtkTable> t) override { table = t; }
    void setAuxFileCollection(boost::shared_ptr<AuxFileCollectionInterface> const& c) override
    {
        collection = c;
    }

    vtkSmartPointer<vtkTable> table;
    boost::shared_ptr<AuxFileCollectionInterface> collection;
};

// The whole road on a real folder: crawl, cases, identification, delivery.
TEST(AuxFileIdentification, RunsFromACrawledTreeToTheLoadContext)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    std::filesystem::path const base = root.path().toStdString();
    // Qt cannot remove a name that is not valid in the locale's encoding.
    struct Cleanup {
        std::filesystem::path folder;
        ~Cleanup() { std::filesystem::remove_all(folder); }
    } const cleanup{base / "Re=200"};
    std::vector<std::string> const relative = {
        "Re=100/model=kEps/mesh.msh",         "Re=100/model=kEps/solution_1.vtu",
        "Re=100/model=kEps/solution_2.vtu",   "Re=100/model=kEps/log.txt",
        "Re=200/model=kEps/mesh.msh",         "Re=200/model=kEps/solution_1.vtu",
        "Re=200/model=kEps/r\xe9sum\xe9.txt", "README.md"};
    for (std::string const& path : relative) {
        std::filesystem::create_directories((base / path).parent_path());
        ASSERT_TRUE(std::ofstream(base / path).good()) << path;
    }

    FolderCrawler crawler(LocalFileInfo::create(base.string()));
    crawler.start();
    ASSERT_TRUE(crawler.wait(60000));
    ASSERT_TRUE(crawler.result().errorString.isNull()) << crawler.result().errorString.toStdString();

    MetadataFileCrawler importer(std::make_unique<CrawlerBasicImporterParser>());
    importer.setCrawlResult(crawler.result());
    importer.setMetadataPatternList({MetadataPattern("Re=", MetadataPattern::Numeric),
                                     MetadataPattern("model=", MetadataPattern::String)});
    ASSERT_TRUE(importer.hasCases());

    Provider provider;
    provider.list = {{"*.msh", "mesh"}, {"solution_*.vtu", "solution"}, {"*.txt", "text"}};
    AuxFileIdentifierValidator validator(provider, importer.identifiedAuxFiles(),
                                         boost::make_shared<TagValidator>());
    ASSERT_TRUE(validator.isValid());
    auto const collection = validator.auxFiles();
    importer.setAuxFilesToLoad(collection);

    RecordingContext context;
    importer.extract(context);
    ASSERT_NE(context.table, nullptr);
    EXPECT_EQ(context.table->GetNumberOfRows(), 2);
    EXPECT_EQ(context.collection, collection);
    EXPECT_THAT(
        contents(*collection),
        ElementsAre("0 mesh Re=100/model=kEps/mesh.msh", "0 solution Re=100/model=kEps/solution_1.vtu",
                    "0 solution Re=100/model=kEps/solution_2.vtu", "0 text Re=100/model=kEps/log.txt",
                    "1 mesh Re=200/model=kEps/mesh.msh", "1 solution Re=200/model=kEps/solution_1.vtu",
                    "1 text Re=200/model=kEps/r\xe9sum\xe9.txt"));
}

} // namespace
