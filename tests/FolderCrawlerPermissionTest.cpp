// The crawler on folders that the user may not read. Root reads every folder
// whatever its mode, so when the tests run as root each crawl runs in a child
// process that has dropped to the user "nobody".
#include "DiskTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

void writeAll(int fd, std::string const& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t const n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

// Length-prefixed texts, so that any byte may occur in a path.
void putText(std::string& out, std::string const& text)
{
    out += std::to_string(text.size());
    out += ':';
    out += text;
}

bool takeText(std::string const& in, std::size_t& at, std::string& text)
{
    std::size_t const colon = in.find(':', at);
    if (colon == std::string::npos)
        return false;
    std::size_t const size = std::stoul(in.substr(at, colon - at));
    if (colon + 1 + size > in.size())
        return false;
    text = in.substr(colon + 1, size);
    at = colon + 1 + size;
    return true;
}

// The crawl of `root` as an unprivileged user: in a child process that drops
// to "nobody" when this one is root, here otherwise. The child walks on its
// own thread of control (FolderCrawler::run() called directly), so that no
// thread is started after fork().
CrawlOutcome crawlUnprivileged(std::string const& root)
{
    if (geteuid() != 0)
        return crawlOnDiskHere(root);

    passwd const* const nobody = getpwnam("nobody");
    uid_t const uid = nobody != nullptr ? nobody->pw_uid : 65534;
    gid_t const gid = nobody != nullptr ? nobody->pw_gid : 65534;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return {};
    }
    pid_t const child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0)
            _exit(3);
        if (geteuid() == 0)
            _exit(4);
        if (access(root.substr(0, root.rfind('/') + 1).c_str(), X_OK) != 0)
            _exit(5); // the test folder's parent is closed to others: set TMPDIR
        CrawlOutcome const outcome = crawlOnDiskHere(root);
        std::string out;
        putText(out, outcome.errorString.isNull() ? "N" : "E" + outcome.errorString.toStdString());
        for (std::string const& file : outcome.files)
            putText(out, file);
        writeAll(pipeFds[1], out);
        _exit(0);
    }
    close(pipeFds[1]);
    std::string in;
    char buffer[4096];
    for (;;) {
        ssize_t const n = read(pipeFds[0], buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        in.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the unprivileged crawl failed (status " << status << "; 5: user nobody cannot reach " << root
        << ", set TMPDIR to a folder others may enter)";

    CrawlOutcome outcome;
    std::size_t at = 0;
    std::string text;
    if (!takeText(in, at, text) || text.empty()) {
        ADD_FAILURE() << "no outcome from the unprivileged crawl";
        return outcome;
    }
    if (text[0] == 'E')
        outcome.errorString = QString::fromStdString(text.substr(1));
    while (takeText(in, at, text))
        outcome.files.push_back(text);
    return outcome;
}

std::string notReadable(std::string const& path)
{
    return "The specified path: " + path + " is not readable.";
}

TEST(FolderCrawlerPermissions, UnreadableFolderStopsTheWalkWithItsPathAndKeepsTheFilesBefore)
{
    DiskTree tree;
    tree.file("a-locked-file.txt");
    tree.chmod("a-locked-file.txt", 0);
    tree.file("b.txt");
    tree.file("c/c.txt");
    tree.file("d-locked/inside.txt");
    tree.chmod("d-locked", 0);
    tree.file("e.txt");

    CrawlOutcome const crawl = crawlUnprivileged(tree.root());
    // A file is listed whether it can be read or not.
    EXPECT_THAT(crawl.files, ElementsAre("a-locked-file.txt", "b.txt", "c/c.txt"));
    EXPECT_EQ(crawl.errorString.toStdString(), notReadable(tree.path("d-locked")));
}

TEST(FolderCrawlerPermissions, FolderWithoutReadOrWithoutSearchPermissionIsNotReadable)
{
    DiskTree tree;
    tree.file("list-only/x.txt");
    tree.chmod("list-only", 0644); // names can be read, entries not reached
    tree.file("search-only/x.txt");
    tree.chmod("search-only", 0311); // entries reached, names not listed

    CrawlOutcome const listOnly = crawlUnprivileged(tree.root());
    EXPECT_THAT(listOnly.files, IsEmpty());
    EXPECT_EQ(listOnly.errorString.toStdString(), notReadable(tree.path("list-only")));

    // The same folders as the root of a crawl.
    for (char const* root : {"list-only", "search-only"}) {
        CrawlOutcome const crawl = crawlUnprivileged(tree.path(root));
        EXPECT_THAT(crawl.files, IsEmpty()) << root;
        EXPECT_EQ(crawl.errorString.toStdString(), "The specified directory is not readable.") << root;
    }
}

TEST(FolderCrawlerPermissions, DeepUnreadableFolderAndLinkToOne)
{
    DiskTree tree;
    tree.file("top/a.txt");
    tree.file("top/mid/b.txt");
    tree.file("top/mid/locked/c.txt");
    tree.chmod("top/mid/locked", 0);
    tree.file("top/mid/z.txt");
    tree.file("top/z.txt");

    CrawlOutcome const deep = crawlUnprivileged(tree.root());
    EXPECT_THAT(deep.files, ElementsAre("top/a.txt", "top/mid/b.txt"));
    EXPECT_EQ(deep.errorString.toStdString(), notReadable(tree.path("top/mid/locked")));

    // Reached through a link, the folder is reported under the link's path.
    DiskTree linked;
    linked.file("a.txt");
    linked.symlink("b-link", tree.path("top/mid/locked"));
    CrawlOutcome const throughLink = crawlUnprivileged(linked.root());
    EXPECT_THAT(throughLink.files, ElementsAre("a.txt"));
    EXPECT_EQ(throughLink.errorString.toStdString(), notReadable(linked.path("b-link")));
}

} // namespace
