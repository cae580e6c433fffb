// The crawler on folders that the user may not read. Root reads every folder
// whatever its mode, so when the tests run as root each crawl runs in a child
// process that has dropped to the user "nobody".
#include "DiskTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The crawl of `root` as an unprivileged user. The child crawls on its own
// thread of control (no thread may start after fork()) and sends back the
// error and the files, each ended by a NUL.
CrawlOutcome crawlUnprivileged(std::string const& root)
{
    if (geteuid() != 0)
        return crawlOnDisk(root, true);
    passwd const* const nobody = getpwnam("nobody");
    uid_t const uid = nobody != nullptr ? nobody->pw_uid : 65534;
    gid_t const gid = nobody != nullptr ? nobody->pw_gid : 65534;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    pid_t const child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0)
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
        << "the crawl as user nobody failed (status " << status << "); can nobody reach " << root
        << "? TMPDIR may name a folder others can enter";
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

std::string notReadable(std::string const& path)
{
    return "The specified path: " + path + " is not readable.";
}

TEST(FolderCrawlerPermissions, UnreadableFolderStopsTheWalkWithItsPathAndKeepsTheFilesBefore)
{
    DiskTree tree;
    tree.file("a-locked-file.txt");
    tree.chmod("a-locked-file.txt", 0); // listed whether it can be read or not
    tree.file("b/b.txt");
    tree.file("b/mid/c.txt");
    tree.file("b/mid/locked/d.txt");
    tree.chmod("b/mid/locked", 0);
    tree.file("b/mid/z.txt");
    tree.file("z.txt");

    CrawlOutcome const crawl = crawlUnprivileged(tree.root());
    EXPECT_THAT(crawl.files, ElementsAre("a-locked-file.txt", "b/b.txt", "b/mid/c.txt"));
    EXPECT_EQ(crawl.errorString.toStdString(), notReadable(tree.path("b/mid/locked")));

    // Reached through a link, the folder is reported under the link's path.
    DiskTree linked;
    linked.file("a.txt");
    linked.symlink("b-link", tree.path("b/mid/locked"));
    CrawlOutcome const throughLink = crawlUnprivileged(linked.root());
    EXPECT_THAT(throughLink.files, ElementsAre("a.txt"));
    EXPECT_EQ(throughLink.errorString.toStdString(), notReadable(linked.path("b-link")));
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
    // Below the root too, where folders are read ahead.
    tree.file("b/c/list-only/x.txt");
    tree.chmod("b/c/list-only", 0644);
    CrawlOutcome const deeper = crawlUnprivileged(tree.path("b"));
    EXPECT_EQ(deeper.errorString.toStdString(), notReadable(tree.path("b/c/list-only")));
    for (char const* root : {"list-only", "search-only"}) {
        CrawlOutcome const crawl = crawlUnprivileged(tree.path(root));
        EXPECT_THAT(crawl.files, IsEmpty()) << root;
        EXPECT_EQ(crawl.errorString.toStdString(), "The specified directory is not readable.") << root;
    }
}

} // namespace
