#include "host/LocalFileInfo.h"
#include "filecrawler/FolderCrawler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <list>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A scratch directory, removed with everything in it at the end of the test.
class TempTree {
public:
    TempTree()
    {
        std::string pattern = (fs::temp_directory_path() / "brim-localfileinfo-XXXXXX").string();
        char* const made = mkdtemp(pattern.data());
        EXPECT_NE(made, nullptr);
        root_ = pattern;
    }
    ~TempTree()
    {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    std::string const& root() const { return root_; }
    std::string at(std::string const& relative) const { return root_ + "/" + relative; }

    void file(std::string const& relative, std::string const& content = "x") const
    {
        std::ofstream(at(relative)) << content;
    }
    void dir(std::string const& relative) const { fs::create_directory(at(relative)); }
    void link(std::string const& relative, std::string const& target) const
    {
        fs::create_symlink(target, at(relative));
    }
    void fifo(std::string const& relative) const { ASSERT_EQ(mkfifo(at(relative).c_str(), 0644), 0); }

private:
    std::string root_;
};

struct Crawl {
    std::vector<std::string> files;
    std::vector<std::string> directories;
    QString error;
};

Crawl crawl(std::string const& root)
{
    Crawl out;
    FolderCrawler crawler(LocalFileInfo::create(root));
    QObject::connect(
        &crawler, &FolderCrawler::processingDirectory, &crawler,
        [&out](QString directory) { out.directories.push_back(directory.toStdString()); },
        Qt::DirectConnection);
    crawler.start();
    EXPECT_TRUE(crawler.wait(60000)) << "crawl of " << root << " did not finish";
    out.files.assign(crawler.result().files.begin(), crawler.result().files.end());
    out.error = crawler.result().errorString;
    return out;
}

std::string const kNotUtf8 = "\xff\xfe-run.dat";

TEST(LocalFileInfoCrawl, SkipsSpecialEntriesAndNeverLoops)
{
    TempTree tree;
    tree.file(".hidden");
    tree.file("B.txt", "12345");
    tree.dir("a");
    tree.file("a/f.dat");
    tree.link("a/loop", "..");
    tree.link("a/self", ".");
    tree.link("cycle1", "cycle2");
    tree.link("cycle2", "cycle1");
    tree.link("dangling", "nowhere");
    tree.fifo("fifo");
    tree.file(kNotUtf8);
    tree.dir("z");

    TempTree outside;
    outside.file("o.txt");
    tree.link("linkdir", outside.root());
    tree.link("linkfile", "B.txt");

    Crawl const result = crawl(tree.root());
    EXPECT_TRUE(result.error.isNull()) << result.error.toStdString();
    // Byte order; links to files and directories are followed, special entries
    // and links back up the tree are not listed.
    EXPECT_THAT(result.files,
                ElementsAre(".hidden", "B.txt", "a/f.dat", "linkdir/o.txt", "linkfile", kNotUtf8));
    EXPECT_THAT(result.directories, ElementsAre(tree.root(), tree.at("a"), tree.at("linkdir"), tree.at("z")));
}

TEST(LocalFileInfoCrawl, MissingRootAndFileRoot)
{
    TempTree tree;
    tree.file("plain");
    EXPECT_EQ(crawl(tree.at("gone")).error.toStdString(), "The specified directory does not exist.");
    // A root that is a link to nothing names nothing to crawl.
    tree.link("dangling", "gone");
    EXPECT_EQ(crawl(tree.at("dangling")).error.toStdString(), "The specified directory does not exist.");

    Crawl const file = crawl(tree.at("plain"));
    EXPECT_TRUE(file.error.isNull());
    EXPECT_THAT(file.files, IsEmpty());
    EXPECT_THAT(file.directories, IsEmpty());
}

// Each child as "name:kinds", kinds being d(irectory) f(ile) r(eadable) l(ink).
std::vector<std::string> describe(FileInfoInterface const& folder)
{
    std::vector<std::string> out;
    for (auto const& child : folder.children("")) {
        EXPECT_TRUE(child->exists());
        EXPECT_EQ(child->path(), folder.path() + "/" + child->name());
        if (!child->isDirectory()) {
            EXPECT_THAT(child->children(""), IsEmpty()) << child->name();
        }
        out.push_back(child->name() + ":" + (child->isDirectory() ? "d" : "") + (child->isFile() ? "f" : "") +
                      (child->isReadable() ? "r" : "") + (child->isSymLink() ? "l" : ""));
    }
    return out;
}

TEST(LocalFileInfoEntries, ReportKindsFromTheListing)
{
    TempTree tree;
    tree.dir("d");
    tree.link("d/up", "..");
    tree.file("file", "12345");
    tree.link("dangling", "nowhere");
    tree.fifo("fifo");
    tree.link("linkfile", "file");
    tree.link("linkdir", "d");
    tree.file(kNotUtf8);

    auto const root = LocalFileInfo::create(tree.root() + "//");
    EXPECT_EQ(root->path(), tree.root());
    EXPECT_EQ(root->name(), fs::path(tree.root()).filename().string());
    EXPECT_TRUE(root->isDirectory());
    EXPECT_TRUE(root->isReadable());
    EXPECT_THAT(describe(*root), ElementsAre("d:dr", "dangling:rl", "fifo:r", "file:fr", "linkdir:drl",
                                             "linkfile:frl", kNotUtf8 + ":fr"));
    // Seen from the root, d/up leads back onto the path; seen from d alone it does not.
    auto const d = root->children("").front();
    ASSERT_EQ(d->name(), "d");
    EXPECT_THAT(describe(*d), ElementsAre("up:rl"));
    EXPECT_THAT(describe(*LocalFileInfo::create(tree.at("d"))), ElementsAre("up:drl"));

    EXPECT_EQ(LocalFileInfo::create(tree.at("file"))->size(), 5u);
    auto const fifo = LocalFileInfo::create(tree.at("fifo"));
    EXPECT_TRUE(fifo->exists());
    EXPECT_FALSE(fifo->isFile());
    EXPECT_FALSE(fifo->isDirectory());
    EXPECT_THAT(fifo->children(""), IsEmpty());

    auto const missing = LocalFileInfo::create(tree.at("gone"));
    EXPECT_FALSE(missing->exists());
    EXPECT_FALSE(missing->isReadable());
    EXPECT_THAT(missing->children(""), IsEmpty());
}

} // namespace
