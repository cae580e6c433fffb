// The crawler and LocalFileInfo on real folder trees built at test time:
// special files, links, very deep and very wide folders, strange names,
// folders read ahead on other threads, walks at once, and folders the user
// may not read.
#include "DiskTree.h"

#include "filecrawler/FolderCrawler.h"
#include "host/LocalFileInfo.h"
#include "host/private/DirectoryReader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <grp.h>
#include <memory>
#include <mutex>
#include <pwd.h>
#include <random>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

#define EXPECT_NO_CRAWL_ERROR(crawl)                                                                         \
    EXPECT_TRUE((crawl).errorString.isNull()) << (crawl).errorString.toStdString().substr(0, 300)

// Each child as "name:kinds", kinds being d(irectory), f(ile) and r(eadable).
std::vector<std::string> kinds(FileInfoInterface const& folder)
{
    std::vector<std::string> out;
    for (auto const& child : folder.children(""))
        out.push_back(child->name() + ":" + (child->isDirectory() ? "d" : "") + (child->isFile() ? "f" : "") +
                      (child->isReadable() ? "r" : ""));
    return out;
}

boost::shared_ptr<FileInfoInterface const>
named(std::vector<boost::shared_ptr<FileInfoInterface const>> const& entries, std::string const& name)
{
    auto const found =
        std::find_if(entries.begin(), entries.end(), [&](auto const& e) { return e->name() == name; });
    EXPECT_NE(found, entries.end()) << name;
    return found == entries.end() ? LocalFileInfo::create("/nonexistent") : *found;
}

// Entries tell their kind from the listing; special files and links that
// lead nowhere are skipped, and none blocks the walk.
TEST(FolderCrawlerOnDisk, SpecialEntriesAndDanglingLinksAreSkippedWithoutBlocking)
{
    DiskTree tree;
    tree.file("a.txt");
    tree.fifo("fifo"); // opened for reading, it would block the walk forever
    tree.socket("socket");
    tree.symlink("link-to-fifo", "fifo");
    tree.symlink("null", "/dev/null");
    tree.fifo("sub/fifo");
    tree.file("sub/b.txt");
    tree.symlink("sub/up", "..");
    tree.symlink("linkdir", "sub");
    tree.symlink("linkfile", "a.txt");
    tree.symlink("dangling", "nowhere");
    tree.symlink("dangling-folder", tree.path("missing/folder"));
    tree.symlink("to-dangling", "dangling");
    tree.symlink("self", "self"); // links that loop among themselves lead nowhere
    tree.symlink("ping", "pong");
    tree.symlink("pong", "ping");

    CrawlOutcome const crawl = crawlOnDisk(tree.root());
    EXPECT_NO_CRAWL_ERROR(crawl);
    EXPECT_THAT(crawl.files, ElementsAre("a.txt", "linkdir/b.txt", "linkfile", "sub/b.txt"));
    EXPECT_THAT(crawl.directories, ElementsAre(tree.root(), tree.path("linkdir"), tree.path("sub")));
    auto const root = LocalFileInfo::create(tree.root() + "//");
    EXPECT_EQ(root->path(), tree.root());
    EXPECT_THAT(kinds(*root), ElementsAre("a.txt:fr", "dangling:r", "dangling-folder:r", "fifo:r",
                                          "link-to-fifo:r", "linkdir:dr", "linkfile:fr", "null:r", "ping:r",
                                          "pong:r", "self:r", "socket:r", "sub:dr", "to-dangling:r"));
    // Seen from the root, sub/up leads back onto the path; seen from sub alone it does not.
    EXPECT_THAT(kinds(*named(root->children(""), "sub")), ElementsAre("b.txt:fr", "fifo:r", "up:r"));
    EXPECT_THAT(kinds(*LocalFileInfo::create(tree.path("sub"))), ElementsAre("b.txt:fr", "fifo:r", "up:dr"));
    // A folder removed since it was listed reads as empty, not as an error
    // (the filter keeps it from being read ahead).
    tree.dir("gone");
    auto const listed = LocalFileInfo::create(tree.root())->children("*");
    rmdir(tree.path("gone").c_str());
    auto const gone = named(listed, "gone");
    EXPECT_TRUE(gone->isReadable());
    EXPECT_THAT(gone->children(""), IsEmpty());
    for (char const* missing : {"dangling", "missing"})
        EXPECT_EQ(crawlOnDisk(tree.path(missing)).errorString.toStdString(),
                  "The specified directory does not exist.");
    // A file as the root is walked as a folder without entries.
    CrawlOutcome const file = crawlOnDisk(tree.path("a.txt"));
    EXPECT_NO_CRAWL_ERROR(file);
    EXPECT_THAT(file.files, IsEmpty());
    EXPECT_THAT(file.directories, IsEmpty());
}

TEST(FolderCrawlerOnDisk, LinksAreFollowedButNoFolderOnTheWayIsEnteredAgain)
{
    DiskTree outside;
    outside.file("data/o.txt");
    DiskTree tree;
    outside.symlink("data/back", tree.root()); // from outside back into the root
    tree.symlink("external", outside.path("data"));
    tree.symlink("external-file", outside.path("data/o.txt"));
    tree.file("a/b/c/file.txt");
    tree.symlink("a/b/c/to-root", "../../..");
    tree.symlink("a/b/c/to-a", "../../../a");
    tree.symlink("a/b/to-b", "../b");
    tree.symlink("a/b/c/self", ".");
    tree.symlink("a/b/c/to-root-absolute", tree.root());
    // Two folders that link to each other: each is entered once through the
    // other, and the link back to the folder already on the way is not.
    tree.file("p/p.txt");
    tree.symlink("p/to-r", "../r");
    tree.file("r/r.txt");
    tree.symlink("r/to-p", "../p");

    CrawlOutcome const crawl = crawlOnDisk(tree.root());
    EXPECT_NO_CRAWL_ERROR(crawl);
    EXPECT_THAT(crawl.files, ElementsAre("a/b/c/file.txt", "external/o.txt", "external-file", "p/p.txt",
                                         "p/to-r/r.txt", "r/r.txt", "r/to-p/p.txt"));
    EXPECT_THAT(crawl.directories, ElementsAre(tree.root(), tree.path("a"), tree.path("a/b"),
                                               tree.path("a/b/c"), tree.path("external"), tree.path("p"),
                                               tree.path("p/to-r"), tree.path("r"), tree.path("r/to-p")));
}

// The crawl of `root` in a child process, after `prepare` has run there
// (false: the child cannot be prepared). The child sends back the error and
// the files, each ended by a NUL.
template <typename Prepare> CrawlOutcome crawlInChild(std::string const& root, Prepare prepare)
{
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    pid_t const child = fork();
    if (child == 0) {
        if (!prepare())
            _exit(3);
        CrawlOutcome const outcome = crawlOnDisk(root, true);
        std::string out =
            (outcome.errorString.isNull() ? "" : "E" + outcome.errorString.toStdString()) + '\0';
        for (std::string const& file : outcome.files)
            out += file + '\0';
        for (std::size_t done = 0; done < out.size();) {
            ssize_t const n = write(pipeFds[1], out.data() + done, out.size() - done);
            if (n <= 0)
                _exit(4);
            done += static_cast<std::size_t>(n);
        }
        _exit(0);
    }
    close(pipeFds[1]);
    std::string in;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        in.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the crawl in a child process failed (status " << status << ")";
    CrawlOutcome outcome;
    std::size_t const end = in.find('\0');
    if (end == std::string::npos)
        return outcome;
    if (end > 0)
        outcome.errorString = QString::fromStdString(in.substr(1, end - 1));
    for (std::size_t at = end + 1, next; (next = in.find('\0', at)) != std::string::npos; at = next + 1)
        outcome.files.push_back(in.substr(at, next - at));
    return outcome;
}

// Crawls in a process that may open 20 descriptors (three of them taken by
// the standard streams): the walk keeps fewer open and, when it still runs
// out, gives up those it keeps, goes on by path and waits a moment for the
// host to free some. The deep tree is 2,000
// levels deep, its deepest paths twice as long as one system call may name.
TEST(FolderCrawlerOnDisk, DeepAndWideTreesWithFewDescriptorsLeft)
{
    DiskTree tree(true);
    std::vector<std::string> deep;
    std::string relative;
    tree.dir("deep");
    int fd = open(tree.path("deep").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 1; level <= 2000 && fd >= 0; ++level) {
        mkdirat(fd, "lvl", 0755);
        int const next = openat(fd, "lvl", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        fd = next;
        relative += relative.empty() ? "lvl" : "/lvl";
        if (level % 500 == 0) {
            close(openat(fd, "f.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
            deep.push_back(relative + "/f.txt");
        }
    }
    ASSERT_GE(fd, 0);
    close(fd);
    std::vector<std::string> wide;
    for (int folder = 0; folder < 300; ++folder)
        for (char const* sub : {"/a/f.txt", "/b/f.txt"}) {
            wide.push_back("w" + std::to_string(1000 + folder) + sub);
            tree.file("wide/" + wide.back());
        }
    for (std::string const root : {"deep", "wide"}) {
        CrawlOutcome const crawl = crawlInChild(tree.path(root), [] {
            rlimit const low{20, 20};
            return setrlimit(RLIMIT_NOFILE, &low) == 0;
        });
        EXPECT_NO_CRAWL_ERROR(crawl) << root;
        EXPECT_TRUE(crawl.files == (root == "deep" ? deep : wide)) << root << ": " << crawl.files.size();
    }
    // A host that holds every descriptor left and frees them a moment later:
    // the walk waits for them rather than failing. A first walk and the
    // thread that frees them come before: nothing done for the first time may
    // need a descriptor (the sanitizers' checks open files then).
    std::string const wideRoot = tree.path("wide");
    CrawlOutcome const busy = crawlInChild(wideRoot, [&wideRoot] {
        static std::vector<int> held;
        static std::atomic<bool> filled{false};
        rlimit const low{20, 20};
        if (setrlimit(RLIMIT_NOFILE, &low) != 0 || !crawlOnDisk(wideRoot, true).errorString.isNull())
            return false;
        std::thread([] {
            while (!filled)
                std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            for (int fd : held)
                close(fd);
        }).detach();
        for (int fd; (fd = open("/", O_RDONLY | O_CLOEXEC)) >= 0;)
            held.push_back(fd);
        filled = true;
        return !held.empty();
    });
    EXPECT_NO_CRAWL_ERROR(busy);
    EXPECT_TRUE(busy.files == wide) << busy.files.size();
}

// LocalFileInfo sorts by numbers made of 8 bytes after the prefix all names
// share, and the walk reads folders ahead on other threads: both must give
// byte order, also for names that are prefixes of others, differ before, at
// or after those 8 bytes, or hold bytes above 0x7f, and for a folder larger
// than one read of the system's listing. No name's bytes may change.
TEST(FolderCrawlerOnDisk, NamesAreListedUnchangedInByteOrderWhetherReadAheadOrNot)
{
    std::vector<std::set<std::string>> folders = {
        {"new\nline", "with space", " leading space", "trailing space ", "back\\slash", ".hidden",
         "..double-dot", "...", "tab\tin", "*?[glob]", "-dash", "caf\xc3\xa9", "latin1-\xe9t\xe9", "\xff\xfe",
         "quote\"'", "\x01control"}};
    std::mt19937 random(1);
    for (std::string const prefix : {"", "solution_", "\xff\xff", "x", "wide"}) {
        std::set<std::string>& names = folders.emplace_back();
        std::size_t const count = prefix == "x" ? 1 : prefix == "wide" ? 100000 : 400;
        while (names.size() < count) {
            std::string name = prefix;
            static char const letters[] = "\x80\xff"
                                          "ab\x7f";
            for (std::size_t i = 0, length = random() % 17; i < length; ++i) // two in the first 8: many ties
                name += letters[i < 8 ? random() % 2 : random() % 5];
            if (!name.empty())
                names.insert(name);
        }
    }
    DiskTree tree(true);
    std::vector<std::string> expected;
    for (std::size_t folder = 0; folder < folders.size(); ++folder) {
        std::string const dir = "d" + std::to_string(folder);
        tree.dir(dir);
        for (std::string const& name : folders[folder]) {
            close(open(tree.path(dir + "/" + name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
            expected.push_back(dir + "/" + name);
        }
        std::vector<std::string> listed;
        for (auto const& child : LocalFileInfo::create(tree.path(dir))->children(std::string()))
            listed.push_back(child->name());
        EXPECT_TRUE(std::equal(listed.begin(), listed.end(), folders[folder].begin(), folders[folder].end()))
            << dir;
    }
    CrawlOutcome const crawl = crawlOnDisk(tree.root());
    EXPECT_NO_CRAWL_ERROR(crawl);
    EXPECT_TRUE(crawl.files == expected);
}

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

// Threads reading ahead hand parts of the tree to each other; whatever the
// parts, the walk lists what folder-by-folder listings list, and never enters
// a link back to a folder above it, even above the part that reached it.
TEST(FolderCrawlerOnDisk, PartsReadAheadGiveTheWalkItsOwnOrder)
{
    DiskTree tree;
    for (int a = 0; a < 24; ++a) {
        std::string const top = "a" + std::to_string(a);
        int const middles = 3 + a % 7 * 4;
        for (int b = 0; b < middles; ++b)
            for (int c = 0; c < b % 3 + 1; ++c)
                tree.file(top + "/b" + std::to_string(b) + "/c" + std::to_string(c) + "/f.vtu");
        // In the folders read last (most likely handed over).
        std::string const last = top + "/b" + std::to_string(middles - 1);
        tree.symlink(last + "/c0/up", "../../..");
        tree.symlink(last + "/back", "..");
    }
    tree.symlink("a5/across", "../a3"); // a folder like any other
    std::vector<std::string> expected;
    listWithoutReadingAhead(*LocalFileInfo::create(tree.root()), std::string(), expected);
    ASSERT_GT(expected.size(), 500u);
    // Rounds on few threads with little room, and on many: more hand-overs,
    // reads waiting for room, and folders reached by path for lack of descriptors.
    WalkOptions tight;
    tight.readerThreads = 3;
    tight.readAheadBytes = 4096;
    tight.openDescriptors = 8;
    WalkOptions many = tight;
    many.readerThreads = 24;
    many.openDescriptors = 3;
    WalkOptions const rounds[] = {WalkOptions(), tight, many};
    for (int round = 0; round < 30; ++round) {
        CrawlOutcome const crawl = crawlOnDisk(tree.root(), false, rounds[round % 3]);
        EXPECT_NO_CRAWL_ERROR(crawl);
        ASSERT_TRUE(crawl.files == expected) << "round " << round;
    }
}

// A walk that leaves folders out (through a wrapper) has them not read ahead
// either: no read of them, or of anything below them, waits for it.
TEST(FolderCrawlerOnDisk, FoldersTheWalkSkipsAreNotReadAhead)
{
    DiskTree tree;
    for (char const* file : {"a/f", "skip/b/f", "z/skip/f", "z/y/f"})
        tree.file(file);
    std::mutex mutex;
    std::set<std::string> asked;
    support::DescriptorBudget descriptors(32);
    auto const reader = localfile::DirectoryReader::start(
        tree.root(), {"a", "skip", "z"}, descriptors, 1, std::size_t(1) << 20,
        [&](std::string const& relativePath) {
            std::lock_guard<std::mutex> const lock(mutex);
            asked.insert(relativePath);
            return relativePath.substr(relativePath.rfind('/') + 1) == "skip";
        });
    ASSERT_TRUE(reader);
    std::pair<char const*, bool> const taken[] = {{"a", true}, {"skip", false},   {"skip/b", false},
                                                  {"z", true}, {"z/skip", false}, {"z/y", true}};
    for (auto const& [folder, readAhead] : taken)
        EXPECT_EQ(bool(reader->take(tree.path(folder))), readAhead) << folder;
    std::lock_guard<std::mutex> const lock(mutex);
    EXPECT_THAT(asked, ElementsAre("a", "skip", "z", "z/skip", "z/y"));
}

// With room for them all, every folder is read ahead and taken in the walk's
// order, however the parts were handed over between the readers (to many at
// once when many wait) and whenever each let go of its descriptors.
TEST(FolderCrawlerOnDisk, EveryFolderIsReadAheadInTheWalksOrder)
{
    DiskTree tree;
    std::vector<std::string> top;
    std::vector<std::string> walk; // every folder below the root, depth-first in name order
    for (int a = 10; a < 22; ++a) {
        std::string const first = "a" + std::to_string(a);
        top.push_back(first);
        walk.push_back(first);
        for (int b = 0; b < a % 5 + 1; ++b) {
            std::string const second = first + "/b" + std::to_string(b);
            walk.push_back(second);
            for (int c = 0; c < 3; ++c) {
                walk.push_back(second + "/c" + std::to_string(c));
                tree.file(walk.back() + "/f");
            }
        }
    }
    for (std::size_t const threads : {1, 4, 24}) {
        for (int round = 0; round < 5; ++round) {
            support::DescriptorBudget descriptors(256);
            auto const reader = localfile::DirectoryReader::start(tree.root(), top, descriptors, threads,
                                                                  std::size_t(1) << 24);
            ASSERT_TRUE(reader);
            for (std::string const& folder : walk) {
                std::optional<localfile::DirectoryRead> const read = reader->take(tree.path(folder));
                ASSERT_TRUE(read) << folder << ", " << threads << " readers, round " << round;
                EXPECT_EQ(read->error, 0) << folder;
            }
        }
    }
}

// Runs `work` on a thread of its own and waits for it; a hang ends the test
// program with the test failed instead of blocking the suite.
template <typename Work> void finishWithin(int seconds, char const* what, Work work)
{
    std::packaged_task<void()> task(std::move(work));
    std::future<void> done = task.get_future();
    std::thread thread(std::move(task));
    if (done.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        std::fprintf(stderr, "%s did not finish within %d s.\n", what, seconds);
        std::_Exit(1);
    }
    thread.join();
    done.get();
}

// The paths of the files below `folder`, depth-first through children("").
void listAll(FileInfoInterface const& folder, std::vector<std::string>& files)
{
    for (auto const& child : folder.children(std::string())) {
        if (child->isFile())
            files.push_back(child->path());
        else if (child->isDirectory() && child->isReadable())
            listAll(*child, files);
    }
}

// The entries of one listing share what the walk from their root read
// ahead. Hosts crawl them at once: a crawler per sibling folder, or threads
// that walk the same folders. Each gets the files of its folder, in walk
// order, and none waits for ever or reads what another has freed.
TEST(FolderCrawlerOnDisk, SiblingFoldersCrawledAtOnceEachGetTheirOwnFiles)
{
    DiskTree tree(true);
    for (int a = 0; a < 6; ++a)
        for (int b = 0; b < 12; ++b)
            for (int c = 0; c < 4; ++c)
                tree.file("a" + std::to_string(a) + "/b" + std::to_string(b) + "/c" + std::to_string(c) +
                          "/f.vtu");
    tree.symlink("a2/b3/across", "../../a4/b1");    // a folder shared by two siblings
    std::vector<std::vector<std::string>> expected; // relative to each sibling
    std::vector<std::string> all;                   // full paths
    for (auto const& child : LocalFileInfo::create(tree.root())->children("*")) {
        listWithoutReadingAhead(*child, std::string(), expected.emplace_back());
        for (std::string const& file : expected.back())
            all.push_back(child->path() + "/" + file);
    }
    std::vector<std::string> sorted = all;
    std::sort(sorted.begin(), sorted.end());

    for (int round = 0; round < 40; ++round) {
        auto const siblings = LocalFileInfo::create(tree.root())->children(std::string());
        ASSERT_EQ(siblings.size(), expected.size());
        std::vector<std::unique_ptr<FolderCrawler>> crawlers;
        for (auto const& sibling : siblings)
            crawlers.push_back(std::make_unique<FolderCrawler>(sibling));
        finishWithin(30, "Crawlers of sibling folders", [&] {
            for (auto& crawler : crawlers)
                crawler->start();
            for (auto& crawler : crawlers)
                crawler->wait();
        });
        for (std::size_t i = 0; i < crawlers.size(); ++i) {
            FolderCrawler::Result const& result = crawlers[i]->result();
            EXPECT_TRUE(result.errorString.isNull()) << result.errorString.toStdString();
            ASSERT_TRUE(
                std::equal(result.files.begin(), result.files.end(), expected[i].begin(), expected[i].end()))
                << "round " << round << ", folder " << siblings[i]->path();
        }

        // Two threads walk the same folders, one from the last sibling on.
        auto const shared = LocalFileInfo::create(tree.root())->children(std::string());
        std::vector<std::string> forward;
        std::vector<std::string> backward;
        finishWithin(30, "Two walks of the same folders", [&] {
            std::thread other([&] {
                for (auto it = shared.rbegin(); it != shared.rend(); ++it)
                    listAll(**it, backward);
            });
            for (auto const& sibling : shared)
                listAll(*sibling, forward);
            other.join();
        });
        ASSERT_TRUE(forward == all) << "round " << round;
        std::sort(backward.begin(), backward.end());
        ASSERT_TRUE(backward == sorted) << "round " << round;
    }
}

// Folders that link to a shared set of folders that link back: every
// sequence of them is a way down, and their number grows as a factorial.
// The walk stops at the first folder reached by more ways than allowed,
// naming it, having listed each folder's files that many times at most.
TEST(FolderCrawlerOnDisk, LinksThatMultiplyWaysStopTheWalkAtTheLimit)
{
    DiskTree tree(true);
    int const count = 6;
    for (int i = 0; i < count; ++i) {
        std::string const folder = "f" + std::to_string(i);
        std::string const shared = "shared/s" + std::to_string(i);
        tree.file(folder + "/f.txt");
        tree.file(shared + "/s.txt");
        for (int j = 0; j < count; ++j) {
            tree.symlink(folder + "/to-s" + std::to_string(j), "../shared/s" + std::to_string(j));
            tree.symlink(shared + "/to-f" + std::to_string(j), "../../f" + std::to_string(j));
        }
    }
    for (std::size_t const limit : {1, 20}) {
        WalkOptions options;
        options.maxWaysPerFolder = limit;
        CrawlOutcome const crawl = crawlOnDisk(tree.root(), false, options);
        EXPECT_THAT(crawl.errorString.toStdString(),
                    ::testing::MatchesRegex(
                        "The folder: " + tree.root() + "/f[0-9](/to-s[0-9]/to-f[0-9])*(/to-s[0-9])? " +
                        "was reached through more than " + std::to_string(limit) +
                        " ways \\(symbolic links\\); the crawl stopped. --max-ways raises the limit."));
        EXPECT_GT(crawl.files.size(), 0u);
        EXPECT_LE(crawl.files.size(), limit * 2 * count);
    }
}

// Root reads every folder whatever its mode, so when the tests run as root
// each crawl runs in a child process that has dropped to the user "nobody".
CrawlOutcome crawlUnprivileged(std::string const& root)
{
    if (geteuid() != 0)
        return crawlOnDisk(root, true);
    passwd const* const nobody = getpwnam("nobody");
    uid_t const uid = nobody != nullptr ? nobody->pw_uid : 65534;
    gid_t const gid = nobody != nullptr ? nobody->pw_gid : 65534;
    CrawlOutcome const outcome = crawlInChild(root, [uid, gid] {
        return setgroups(0, nullptr) == 0 && setresgid(gid, gid, gid) == 0 && setresuid(uid, uid, uid) == 0;
    });
    EXPECT_FALSE(::testing::Test::HasFailure())
        << "can nobody reach " << root << "? TMPDIR may name a folder others can enter";
    return outcome;
}

// A folder that may not be read, or searched, or listed, stops the walk
// with its path (below the root, where folders are read ahead, too), after
// the files before it; a file is listed whether it can be read or not.
TEST(FolderCrawlerPermissions, UnreadableFolderStopsTheWalkWithItsPathAndKeepsTheFilesBefore)
{
    DiskTree tree;
    tree.file("a-locked-file.txt");
    tree.chmod("a-locked-file.txt", 0);
    for (char const* file :
         {"b/b.txt", "b/mid/c.txt", "b/mid/locked/d.txt", "b/mid/z.txt", "c/d/list-only/x.txt",
          "e/list-only/x.txt", "list-only/x.txt", "search-only/x.txt", "z.txt"})
        tree.file(file);
    tree.chmod("b/mid/locked", 0);
    tree.chmod("c/d/list-only", 0644); // names can be read, entries not reached
    tree.chmod("e/list-only", 0644);
    tree.chmod("list-only", 0644);
    tree.chmod("search-only", 0311); // entries reached, names not listed
    DiskTree linked;
    linked.file("a.txt");
    linked.symlink("b-link", tree.path("b/mid/locked"));
    std::string const rootNotReadable = "The specified directory is not readable.";
    struct {
        std::string root;
        std::vector<std::string> files;
        std::string error;
    } const cases[] = {
        {tree.root(), {"a-locked-file.txt", "b/b.txt", "b/mid/c.txt"}, tree.path("b/mid/locked")},
        {linked.root(), {"a.txt"}, linked.path("b-link")}, // the path it was reached by
        {tree.path("c"), {}, tree.path("c/d/list-only")},
        {tree.path("e"), {}, tree.path("e/list-only")},
        {tree.path("list-only"), {}, rootNotReadable},
        {tree.path("search-only"), {}, rootNotReadable},
    };
    for (auto const& c : cases) {
        CrawlOutcome const crawl = crawlUnprivileged(c.root);
        EXPECT_EQ(crawl.files, c.files) << c.root;
        EXPECT_EQ(crawl.errorString.toStdString(),
                  c.error == rootNotReadable ? c.error
                                             : "The specified path: " + c.error + " is not readable.");
    }
}

} // namespace
