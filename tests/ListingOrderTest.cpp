// LocalFileInfo sorts a folder's names by a number made of the 8 bytes after
// the prefix all of them share, and compares the rest only where those are
// equal; the folders below a walk's root are read (and sorted) on the
// read-ahead thread. Both must give plain byte order, for names chosen to
// hit the edges: prefixes of other names, differences before, at and after
// the 8 bytes, bytes above 0x7f, and folders of one name.
#include "filecrawler/FolderCrawler.h"
#include "host/LocalFileInfo.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// `prefix` and random strings of up to 16 bytes over a small alphabet, so
// that many names share their first 8 bytes after the prefix and differ
// right after them, or are prefixes of each other.
std::vector<std::string> awkwardNames(std::string const& prefix, unsigned seed)
{
    std::mt19937 random(seed);
    static char const alphabet[] = {'a', 'b', '\x7f', '\x80', '\xff'};
    std::vector<std::string> names;
    while (names.size() < 400) {
        std::string name = prefix;
        std::size_t const length = random() % 17;
        for (std::size_t i = 0; i < length; ++i) // two letters only in the first 8: many ties
            name += alphabet[i < 8 ? 3 + random() % 2 : random() % sizeof alphabet];
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    }
    return names;
}

void makeFiles(std::string const& folder, std::vector<std::string> const& names)
{
    mkdir(folder.c_str(), 0755);
    for (std::string const& name : names)
        close(open((folder + "/" + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
}

TEST(ListingOrder, NamesComeInByteOrderWhetherListedOrReadAhead)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    std::string const root = scratch.path().toStdString();
    std::vector<std::string> expectedFiles;
    std::vector<std::string> const prefixes = {"", "solution_", "a", "\xff\xff", "x"};
    for (unsigned folder = 0; folder < prefixes.size(); ++folder) {
        std::vector<std::string> names = awkwardNames(prefixes[folder], folder);
        if (folder == prefixes.size() - 1)
            names.resize(1);
        std::string const name = "d" + std::to_string(folder);
        makeFiles(root + "/" + name, names);
        std::sort(names.begin(), names.end());
        for (std::string const& file : names)
            expectedFiles.push_back(name + "/" + file);

        // One folder listed on its own (not read ahead).
        std::vector<std::string> listed;
        for (auto const& child : LocalFileInfo::create(root + "/" + name)->children(std::string()))
            listed.push_back(child->name());
        EXPECT_EQ(listed, names) << name;
    }

    // The folders below the root, read ahead during a walk.
    FolderCrawler crawler(LocalFileInfo::create(root));
    crawler.start();
    crawler.wait();
    ASSERT_TRUE(crawler.result().errorString.isNull());
    EXPECT_EQ(std::vector<std::string>(crawler.result().files.begin(), crawler.result().files.end()),
              expectedFiles);
}

} // namespace
