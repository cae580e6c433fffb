#include "filecrawler/AuxFileIdentifierValidator.h"
#include "filecrawler/private/CrawlerFilePath.h"
#include "host/ExceptionBase.h"

#include <boost/make_shared.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::ThrowsMessage;

using Files = std::vector<boost::shared_ptr<AuxFileInfoInterface>>;

Files files(std::vector<std::pair<std::string, std::size_t>> const& paths)
{
    Files list;
    for (auto const& [path, caseIndex] : paths) {
        list.push_back(boost::make_shared<CrawlerFilePath>(path));
        list.back()->setCaseIndex(caseIndex);
    }
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

struct Fixture {
    explicit Fixture(Files candidates, std::vector<AuxFileIdentifier> identifiers = {})
        : tags(boost::make_shared<RecordingTagValidator>()), validator(provider, std::move(candidates), tags)
    {
        provider.list = std::move(identifiers);
    }

    Provider provider;
    boost::shared_ptr<RecordingTagValidator> tags;
    AuxFileIdentifierValidator validator;
};

TEST(AuxFileIdentifierValidator, ValidityStopsAtTheFirstUnusableIdentifier)
{
    Fixture f(files({{"a.dat", 0}, {"b.txt", 0}}),
              {{"", ""}, {"*.dat", "data"}, {"*.dat", "bad tag"}, {"*.txt", "text"}});
    EXPECT_FALSE(f.validator.isValid());
    // Asked twice; the empty identifier is accepted without a question, and
    // the walk ends at the bad tag.
    EXPECT_EQ(f.provider.calls, 2);
    EXPECT_THAT(f.tags->judged, ElementsAre("data", "bad tag"));
    // A syntax name that selects nothing makes the list invalid too; an empty
    // list is valid.
    f.provider.list = {{"*.dat", "data"}, {"*.vtu", "solution"}};
    EXPECT_FALSE(f.validator.isValid());
    EXPECT_EQ(f.validator.syntaxNameValidator()->validate("*.vtu").errorString(), "Invalid pattern.");
    f.provider.list = {{"", ""}, {"*.dat", "data"}};
    EXPECT_TRUE(f.validator.isValid());
    f.provider.list = {};
    EXPECT_TRUE(f.validator.isValid());

    // Without a tag validator only a list of empty identifiers can be judged.
    AuxFileIdentifierValidator untagged(f.provider, files({{"a.dat", 0}}), nullptr);
    EXPECT_TRUE(untagged.isValid());
    f.provider.list = {{"*.dat", "data"}};
    EXPECT_THAT([&] { untagged.isValid(); }, ThrowsMessage<norvale::ExceptionBase>(HasSubstr("tag: data")));
    Files broken = files({{"a.dat", 0}});
    broken.push_back(nullptr);
    EXPECT_THAT([&] { AuxFileIdentifierValidator(f.provider, broken, nullptr); },
                ThrowsMessage<norvale::ExceptionBase>(HasSubstr("position 1")));
}

TEST(AuxFileIdentifierValidator, FilesEachCandidateOnceUnderTheFirstUsableIdentifier)
{
    boost::shared_ptr<AuxFileCollectionInterface> collection;
    {
        // Identifiers are selected eight at a time: the ninth starts a second batch.
        std::vector<AuxFileIdentifier> identifiers = {
            {"*.txt", "text"}, {"*.dat", "bad tag!"}, {"*/grid.dat", "data"}, {"*.vtu", "never"}};
        identifiers.resize(8, {"*.txt", "taken"});
        identifiers.insert(identifiers.end(), {{"*.dat", "data"}, {"log.txt", "data"}});
        Fixture f(files({{"c0/log.txt", 0},
                         {"c0/mesh.dat", 0},
                         {"c0/grid.dat", 0},
                         {"c1/b.txt", 1},
                         {"c1/mesh.dat", 1}}),
                  identifiers);
        collection = f.validator.auxFiles();
        EXPECT_EQ(f.provider.calls, 1);
        // Empty identifiers are judged like any other here.
        f.provider.list = {{"", ""}};
        EXPECT_TRUE(f.validator.auxFiles()->isEmpty());
        EXPECT_EQ(f.tags->judged.back(), "");
    }
    // The collection outlives its validator.
    EXPECT_THAT(collection->tags(), ElementsAre("data", "text"));
    // Within a case and tag: identifier order first, then candidate order.
    EXPECT_THAT(contents(*collection),
                ElementsAre("0 data c0/grid.dat", "0 data c0/mesh.dat", "0 text c0/log.txt",
                            "1 data c1/mesh.dat", "1 text c1/b.txt"));
}

// A candidate that writes each filePath() call into `log`.
class LoggingFile : public CrawlerFilePath {
public:
    LoggingFile(std::string const& path, std::vector<std::string>& log) : CrawlerFilePath(path), log_(log) {}
    std::string filePath() const override
    {
        log_.push_back("path " + CrawlerFilePath::filePath());
        return CrawlerFilePath::filePath();
    }

private:
    std::vector<std::string>& log_;
};

TEST(AuxFileIdentifierValidator, FilingJudgesOneIdentifierThenFilesItsFiles)
{
    Fixture f({}, {{"*.txt", "text"}, {"*.dat", "bad tag!"}, {"*.vtu", "none"}, {"*.dat", "data"}});
    std::vector<std::string>& log = f.tags->judged; // the tags judged and the paths asked for
    AuxFileIdentifierValidator validator(
        f.provider,
        {boost::make_shared<LoggingFile>("b.dat", log), boost::make_shared<LoggingFile>("a.txt", log)},
        f.tags);
    log.clear();
    validator.auxFiles();
    EXPECT_THAT(log, ElementsAre("text", "path a.txt", "bad tag!", "none", "data", "path b.dat"));
}

// Gives another path on every call.
class ChangingFile : public CrawlerFilePath {
public:
    ChangingFile() : CrawlerFilePath("") {}
    std::string filePath() const override { return "p/" + std::to_string(++calls) + ".dat"; }
    mutable int calls = 0;
};

TEST(AuxFileIdentifierValidator, FilesEachPathAndEachObjectOnce)
{
    // Candidates of one path are filed once, as the last of them.
    Fixture f(files({{"x/a.dat", 0}, {"x/b.dat", 0}, {"x/a.dat", 3}}), {{"*.dat", "data"}});
    auto const collection = f.validator.auxFiles();
    EXPECT_THAT(contents(*collection), ElementsAre("0 data x/b.dat", "3 data x/a.dat"));
    // Cases between hold nothing, under any tag.
    EXPECT_EQ(collection->caseCount(), 4u);
    EXPECT_THAT(collection->auxFilePaths(1, "data"), IsEmpty());
    EXPECT_THAT(collection->auxFilePaths(0, "Data"), IsEmpty());

    // Pointers that share one owner are one candidate, as in an ordered set
    // of shared pointers: filed once, as the first of them.
    struct Pair {
        CrawlerFilePath first{"p/x.dat"};
        CrawlerFilePath second{"p/y.dat"};
    };
    auto const owner = boost::make_shared<Pair>();
    owner->second.setCaseIndex(1);
    Fixture g({boost::shared_ptr<AuxFileInfoInterface>(owner, &owner->first),
               boost::shared_ptr<AuxFileInfoInterface>(owner, &owner->second)},
              {{"*.dat", "data"}});
    EXPECT_THAT(contents(*g.validator.auxFiles()), ElementsAre("0 data p/x.dat"));
    // One object listed under two names is filed once, with the path it
    // gives when it is filed.
    auto const changing = boost::make_shared<ChangingFile>();
    Fixture h({changing, changing}, {{"p/?.dat", "data"}});
    EXPECT_THAT(contents(*h.validator.auxFiles()), ElementsAre("0 data p/3.dat"));
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

} // namespace
