// The crawler on real folder trees built at test time: special files, links,
// very deep and very wide folders, strange names, and trees that change while
// the walk runs.
#include "DiskTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <set>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

// Every listed path must name a regular file (through links) below the root.
void expectRegularFiles(DiskTree const& tree, std::vector<std::string> const& files)
{
    for (std::string const& file : files) {
        struct stat st {};
        EXPECT_TRUE(stat(tree.path(file).c_str(), &st) == 0 && S_ISREG(st.st_mode)) << file;
    }
}

TEST(FolderCrawlerSpecialEntries, FifoSocketDeviceAndLinksToThemAreSkippedWithoutBlocking)
{
    DiskTree tree;
    tree.file("a.txt");
    tree.fifo("fifo");
    tree.socket("socket");
    tree.symlink("link-to-fifo", "fifo");
    tree.symlink("null", "/dev/null");
    tree.fifo("sub/fifo");
    tree.file("sub/b.txt");

    // Opening the FIFO for reading would block the walk forever (no writer).
    CrawlOutcome const crawl = crawlOnDisk(tree.root());
    EXPECT_TRUE(crawl.errorString.isNull()) << crawl.errorString.toStdString();
    EXPECT_THAT(crawl.files, ElementsAre("a.txt", "sub/b.txt"));
    EXPECT_THAT(crawl.directories, ElementsAre(tree.root(), tree.path("sub")));
}

TEST(FolderCrawlerLinks, LoopsThroughSeveralLevelsEndAndEveryFileIsFound)
{
    DiskTree tree;
    tree.file("a/b/c/file.txt");
    tree.symlink("a/b/c/to-root", "../../..");
    tree.symlink("a/b/c/to-a", "../../../a");
    tree.symlink("a/b/to-b", "../b");
    tree.symlink("a/b/c/to-root-absolute", tree.root());
    // Two folders that link to each other: each is entered once through the
    // other, and the link back to the folder already on the way is not.
    tree.file("p/p.txt");
    tree.symlink("p/to-r", "../r");
    tree.file("r/r.txt");
    tree.symlink("r/to-p", "../p");
    // Links that loop among themselves resolve to nothing.
    tree.symlink("self", "self");
    tree.symlink("ping", "pong");
    tree.symlink("pong", "ping");

    CrawlOutcome const crawl = crawlOnDisk(tree.root());
    EXPECT_TRUE(crawl.errorString.isNull()) << crawl.errorString.toStdString();
    EXPECT_THAT(crawl.files,
                ElementsAre("a/b/c/file.txt", "p/p.txt", "p/to-r/r.txt", "r/r.txt", "r/to-p/p.txt"));
    expectRegularFiles(tree, crawl.files);
    EXPECT_THAT(crawl.directories,
                ElementsAre(tree.root(), tree.path("a"), tree.path("a/b"), tree.path("a/b/c"), tree.path("p"),
                            tree.path("p/to-r"), tree.path("r"), tree.path("r/to-p")));
}

TEST(FolderCrawlerLinks, LinksOutOfTheRootAreFollowedAndDanglingOnesSkipped)
{
    DiskTree outside;
    outside.file("data/o.txt");
    DiskTree tree;
    tree.file("local.txt");
    tree.symlink("external", outside.path("data"));
    tree.symlink("external-file", outside.path("data/o.txt"));
    // A way back from outside into the root, which is already on the way.
    outside.symlink("data/back", tree.root());
    tree.symlink("dangling", "nowhere");
    tree.symlink("dangling-folder", outside.path("missing/folder"));
    tree.symlink("to-dangling", "dangling");

    CrawlOutcome const crawl = crawlOnDisk(tree.root());
    EXPECT_TRUE(crawl.errorString.isNull()) << crawl.errorString.toStdString();
    EXPECT_THAT(crawl.files, ElementsAre("external/o.txt", "external-file", "local.txt"));
    expectRegularFiles(tree, crawl.files);
}

TEST(FolderCrawlerLargeTrees, TwoThousandLevelsDeep)
{
    // Each level adds four bytes, so the deepest paths are twice as long as
    // the system lets one call name.
    DiskTree tree(DiskTree::Place::Memory);
    std::vector<std::string> expected;
    std::string relative;
    {
        int fd = open(tree.root().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        for (int level = 1; level <= 2000; ++level) {
            ASSERT_EQ(mkdirat(fd, "lvl", 0755), 0);
            int const next = openat(fd, "lvl", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            close(fd);
            ASSERT_GE(next, 0);
            fd = next;
            relative += relative.empty() ? "lvl" : "/lvl";
            if (level % 500 == 0) {
                int const file = openat(fd, "f.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                ASSERT_GE(file, 0);
                close(file);
                expected.push_back(relative + "/f.txt");
            }
        }
        close(fd);
    }
    ASSERT_GT(tree.path(relative).size(), 8000u);

    // Far fewer descriptors than levels: a walk must not keep one per level.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    rlimit low = limit;
    low.rlim_cur = std::min<rlim_t>(limit.rlim_cur, 256);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    CrawlOutcome const crawl = crawlOnDisk(tree.root());
    setrlimit(RLIMIT_NOFILE, &limit);
    // Messages are cut short: these paths run to thousands of bytes.
    EXPECT_TRUE(crawl.errorString.isNull()) << crawl.errorString.toStdString().substr(0, 200) << "...";
    EXPECT_EQ(crawl.files.size(), expected.size());
    EXPECT_TRUE(crawl.files == expected) << "the files are not all there, or not in walk order";
    ASSERT_EQ(crawl.directories.size(), 2001u);
    EXPECT_TRUE(crawl.directories.back() == tree.path(relative))
        << "the deepest folder is not the last one entered";
}

TEST(FolderCrawlerLargeTrees, HundredThousandEntriesInOneFolder)
{
    DiskTree tree(DiskTree::Place::Memory);
    tree.dir("wide");
    std::vector<std::string> expected;
    {
        int const fd = open(tree.path("wide").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        char name[16];
        for (int i = 0; i < 100000; ++i) {
            std::snprintf(name, sizeof(name), "f%06d", i);
            int const file = openat(fd, name, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            ASSERT_GE(file, 0);
            close(file);
            expected.push_back(std::string("wide/") + name);
        }
        close(fd);
    }
    tree.file("z.txt");
    expected.push_back("z.txt");

    CrawlOutcome const crawl = crawlOnDisk(tree.root());
    EXPECT_TRUE(crawl.errorString.isNull()) << crawl.errorString.toStdString();
    ASSERT_EQ(crawl.files.size(), expected.size());
    EXPECT_TRUE(crawl.files == expected) << "the files are not all there, or not in name order";
}

TEST(FolderCrawlerNames, StrangeNamesAreListedByteForByte)
{
    std::vector<std::string> const names = {
        "new\nline",        "with space",        " leading space", "trailing space ",
        "back\\slash",      ".hidden",           "..double-dot",   "...",
        "tab\tin",          "*?[glob]",          "-dash",          "caf\xc3\xa9",
        "latin1-\xe9t\xe9", "bad-utf8-\xff\xfe", "quote\"'",       "\x01control",
    };
    DiskTree tree;
    std::set<std::string> expected; // the crawl lists in byte order
    for (std::string const& name : names) {
        tree.file(name);
        expected.insert(name);
        // The same names as folders, with a file inside.
        tree.file("d" + name + "/" + name);
        expected.insert("d" + name + "/" + name);
    }
    tree.file(".hidden-folder/\xff.txt");
    expected.insert(".hidden-folder/\xff.txt");

    CrawlOutcome const crawl = crawlOnDisk(tree.root());
    EXPECT_TRUE(crawl.errorString.isNull()) << crawl.errorString.toStdString();
    EXPECT_THAT(crawl.files, ElementsAreArray(expected));
    expectRegularFiles(tree, crawl.files);
    // One signal per folder entered, whatever its name's bytes.
    EXPECT_EQ(crawl.directories.size(), names.size() + 2);
}

// Another thread keeps adding, removing, renaming and replacing files and
// folders among the stable ones while the crawler walks the tree again and
// again. No walk may stop, fail or miss a file that never moved.
TEST(FolderCrawlerChangingTree, ChangesDuringTheWalkNeitherStopItNorLoseStableFiles)
{
    DiskTree tree;
    std::vector<std::string> stable;
    for (int d = 0; d < 20; ++d) {
        for (int f = 0; f < 20; ++f) {
            std::string const path = "s" + std::to_string(d) + "/f" + std::to_string(f) + ".dat";
            tree.file(path);
            stable.push_back(path);
        }
    }
    // The changing folders sort before, between and after the stable ones.
    std::vector<std::string> const churnFolders = {"a-churn", "s1-churn", "s9/churn", "z-churn"};
    for (std::string const& folder : churnFolders)
        tree.dir(folder);

    std::atomic<bool> stop(false);
    std::thread churn([&] {
        unsigned round = 0;
        while (!stop.load()) {
            ++round;
            for (std::string const& folder : churnFolders) {
                std::string const base = tree.path(folder) + "/";
                std::string const sub = base + "d" + std::to_string(round % 7);
                mkdir(sub.c_str(), 0755);
                for (int i = 0; i < 5; ++i)
                    close(
                        open((sub + "/x" + std::to_string(i)).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
                // A folder renamed, then replaced by a file, a FIFO, a link.
                std::string const moved = base + "m" + std::to_string(round % 5);
                rename(sub.c_str(), moved.c_str());
                for (int i = 0; i < 5; ++i)
                    unlink((moved + "/x" + std::to_string(i)).c_str());
                rmdir(moved.c_str());
                switch (round % 3) {
                case 0:
                    close(open(moved.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
                    break;
                case 1:
                    mkfifo(moved.c_str(), 0644);
                    break;
                default:
                    symlink("..", moved.c_str());
                    break;
                }
                unlink(moved.c_str());
                // A file beside the stable ones that comes and goes.
                std::string const transient = tree.path("s" + std::to_string(round % 20) + "/tmp");
                close(open(transient.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
                unlink(transient.c_str());
            }
        }
    });

    // In walk order: the byte order of these names is that of their components.
    std::set<std::string> const wanted(stable.begin(), stable.end());
    stable.assign(wanted.begin(), wanted.end());
    for (int walk = 0; walk < 30; ++walk) {
        CrawlOutcome const crawl = crawlOnDisk(tree.root());
        EXPECT_TRUE(crawl.errorString.isNull()) << "walk " << walk << ": " << crawl.errorString.toStdString();
        std::vector<std::string> found;
        for (std::string const& file : crawl.files)
            if (wanted.count(file) != 0)
                found.push_back(file);
        EXPECT_THAT(found, ElementsAreArray(stable)) << "walk " << walk;
    }
    stop = true;
    churn.join();
}

} // namespace
