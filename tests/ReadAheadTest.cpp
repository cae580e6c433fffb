// A walk from a root reads its folders ahead on several threads, which hand
// parts of the tree to each other. Whatever the parts, the walk must list the
// same files in the same order as folder-by-folder listings (which read
// nothing ahead), and never enter a link back to a folder above it, even one
// above the part that reached it.
#include "filecrawler/FolderCrawler.h"
#include "host/LocalFileInfo.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The files below `folder`, depth-first, from listings that read nothing
// ahead (a filter turns reading ahead off).
void listWithoutReadingAhead(FileInfoInterface const& folder, std::string const& prefix,
                             std::vector<std::string>& files)
{
    for (auto const& child : folder.children("*")) {
        std::string const path = prefix.empty() ? child->name() : prefix + "/" + child->name();
        if (child->isFile())
            files.push_back(path);
        else if (child->isDirectory() && child->isReadable())
            listWithoutReadingAhead(*child, path, files);
    }
}

TEST(FolderCrawlerReadAhead, PartsReadOnOtherThreadsGiveTheWalkItsOwnOrder)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    std::string const root = scratch.path().toStdString();
    // Uneven folders, so that parts are handed over at several depths.
    for (int a = 0; a < 24; ++a) {
        std::string const top = root + "/a" + std::to_string(a);
        mkdir(top.c_str(), 0755);
        int const middles = 3 + a % 7 * 4;
        for (int b = 0; b < middles; ++b) {
            std::string const middle = top + "/b" + std::to_string(b);
            mkdir(middle.c_str(), 0755);
            for (int c = 0; c < b % 3 + 1; ++c) {
                std::string const bottom = middle + "/c" + std::to_string(c);
                mkdir(bottom.c_str(), 0755);
                close(open((bottom + "/f.vtu").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
            }
        }
        // Links back to the root and to the top folder, in the folders read
        // last (those most likely handed over): never entered.
        std::string const last = top + "/b" + std::to_string(middles - 1);
        ASSERT_EQ(symlink("../../..", (last + "/c0/up").c_str()), 0);
        ASSERT_EQ(symlink("..", (last + "/back").c_str()), 0);
    }
    // A link across to another top folder is a folder like any other.
    ASSERT_EQ(symlink("../a3", (root + "/a5/across").c_str()), 0);

    std::vector<std::string> expected;
    listWithoutReadingAhead(*LocalFileInfo::create(root), std::string(), expected);
    ASSERT_GT(expected.size(), 500u);

    for (int round = 0; round < 20; ++round) {
        FolderCrawler crawler(LocalFileInfo::create(root));
        crawler.start();
        crawler.wait();
        ASSERT_TRUE(crawler.result().errorString.isNull()) << crawler.result().errorString.toStdString();
        ASSERT_EQ(std::vector<std::string>(crawler.result().files.begin(), crawler.result().files.end()),
                  expected)
            << "round " << round;
    }
}

} // namespace
