// Which entries --exclude leaves out, and the crawl through the wrapper that
// applies it and --keep-going.
#include "ExcludeRules.h"
#include "FakeFileTree.h"
#include "FilteredFileInfo.h"
#include "ProgramOptions.h"

#include "filecrawler/FolderCrawler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

TEST(ExcludeRules, NamesAndPathsAreMatchedWithFnmatch)
{
    struct {
        std::string glob, path;
        bool directory, excluded;
    } const cases[] = {
        {".snapshot", "Re=1/.snapshot", true, true}, // a name glob, at any depth
        {".git", "Re=1/.gitignore", false, false},
        {"*.swp", "Re=1/.log.txt.swp", false, true}, // '*' matches a leading dot
        {"._*", "Re=1/._mesh.msh", false, true},
        {"*.swp", "Re=1/a.swp.bak", false, false},
        {"*~", "Re=1/log.txt~", false, true},
        {"Re=*", "Re=1", true, true},
        {"*", "Re=1/f", false, true},
        {"*~", "Re=1~/log.txt", false, false}, // only the entry's own name
        {"[!R]*", "Re=1", true, false},
        {"Re=1/scratch", "Re=1/scratch", true, true}, // with '/': the path below ROOT
        {"Re=1/scratch", "x/Re=1/scratch", true, false},
        {"*/scratch", "x/Re=1/scratch", true, false}, // '*' stops at '/'
        {"*/*/scratch", "x/Re=1/scratch", true, true},
        {"/scratch", "scratch", true, true}, // anchored to ROOT
        {"/scratch", "Re=1/scratch", true, false},
        {"build/", "Re=1/build", true, true}, // folders only
        {"build/", "Re=1/build", false, false},
        {"\\*", "*", false, true}, // '\' quotes
        {"\\*", "x", false, false},
    };
    for (auto const& c : cases) {
        cli::ExcludeRules rules;
        rules.add(c.glob);
        std::string const name = c.path.substr(c.path.rfind('/') + 1);
        EXPECT_EQ(rules.excludes(name, c.path, c.directory), c.excluded) << c.glob << " " << c.path;
        if (c.directory) {
            EXPECT_EQ(rules.excludesFolder(c.path), c.excluded) << c.glob << " " << c.path;
        }
    }
    for (char const* glob : {"", "/", "//"})
        EXPECT_THROW(cli::ExcludeRules().add(glob), cli::UsageError) << glob;
}

// The crawler over the wrapper: excluded folders are never listed; with
// keepGoing, folders that cannot be read (by their answer, or by a refused
// listing) are recorded and the walk goes on; other errors still stop it.
TEST(FilteredFileInfo, ExcludedFoldersAreNotListedAndUnreadableOnesAreSkipped)
{
    auto const snapshot = fakeDir(".snapshot", {fakeFile("f")});
    auto const locked = fakeDir("locked", {fakeFile("f")});
    locked->readable = false;
    auto const refused = fakeDir("refused", {fakeFile("f")});
    auto const broken = fakeDir("broken", {fakeFile("f")});
    broken->childrenError = "The specified path: /s/broken could not be opened: Too many open files.";
    auto const tree = [&](bool withBroken) {
        std::vector<FakeEntry::Ptr> entries = {fakeFile("a.swp"), fakeDir("Re=1", {fakeFile("f"), snapshot}),
                                               locked, refused, fakeFile("z")};
        if (withBroken)
            entries.insert(entries.begin() + 3, broken);
        auto const root = fakeDir("/s", entries);
        refused->childrenError = "The specified path: /s/refused is not readable.";
        return root;
    };
    struct {
        bool keepGoing, withBroken;
        std::vector<std::string> files, skipped;
        std::string error;
    } const cases[] = {
        {false, false, {"Re=1/f"}, {}, "The specified path: /s/locked is not readable."},
        {true, false, {"Re=1/f", "z"}, {"/s/locked", "/s/refused"}, ""},
        {true, true, {"Re=1/f"}, {"/s/locked"}, broken->childrenError},
    };
    for (auto const& c : cases) {
        cli::ExcludeRules excludes;
        excludes.add(".snapshot");
        excludes.add("*.swp");
        auto const filter = std::make_shared<cli::CrawlFilter>(excludes, c.keepGoing);
        FolderCrawler crawler(
            boost::make_shared<cli::FilteredFileInfo const>(tree(c.withBroken), filter, ""));
        crawler.run();
        EXPECT_THAT(std::vector<std::string>(crawler.result().files.begin(), crawler.result().files.end()),
                    testing::ElementsAreArray(c.files));
        EXPECT_EQ(filter->skippedFolders(), c.skipped);
        EXPECT_EQ(crawler.result().errorString.toStdString(), c.error);
        EXPECT_EQ(snapshot->childrenCalls, 0);
    }
}

} // namespace
