#include "filecrawler/FolderCrawler.h"
#include "FakeFileTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QThread>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Runs a crawl to its end and tells what it reported.
struct Crawl {
    explicit Crawl(FolderCrawler& crawler)
    {
        QObject::connect(
            &crawler, &FolderCrawler::processingDirectory, &crawler,
            [this](QString directory) {
                directories.push_back(directory.toStdString());
                threads.push_back(QThread::currentThread());
            },
            Qt::DirectConnection);
        crawler.start();
        EXPECT_TRUE(crawler.wait(30000)) << "crawl did not finish";
        // result() orders the walk's writes before this thread's reads.
        files.assign(crawler.result().files.begin(), crawler.result().files.end());
        error = crawler.result().errorString.toStdString();
        QObject::disconnect(&crawler, nullptr, nullptr, nullptr);
    }

    std::vector<std::string> files;
    std::vector<std::string> directories;
    std::vector<QThread*> threads;
    std::string error;
};

TEST(FolderCrawlerWalk, DepthFirstInListingOrderWithSignalsOnTheWorkerThread)
{
    FakeEntry::Ptr const locked = fakeFile("b"); // a file's readability is never asked
    locked->readable = false;
    FolderCrawler crawler(fakeDir(
        "/data", {fakeFile("a"), fakeDir("d", {fakeFile("x"), fakeDir("e", {fakeFile("y")}), fakeFile("z")}),
                  fakeDir("empty"), locked}));
    Crawl const crawl(crawler);
    // Listing order is kept: no sorting, "/" joins components, the root's own
    // name is not part of any path.
    EXPECT_THAT(crawl.files, ElementsAre("a", "d/x", "d/e/y", "d/z", "b"));
    EXPECT_THAT(crawl.directories, ElementsAre("/data", "/data/d", "/data/d/e", "/data/empty"));
    EXPECT_THAT(crawl.threads, testing::Each(&crawler));
    EXPECT_TRUE(crawl.error.empty());
}

TEST(FolderCrawlerErrors, RootChecksComeFirstAndStopBeforeAnySignal)
{
    FakeEntry::Ptr const missing = fakeDir("/gone", {fakeFile("a")});
    missing->present = false;
    missing->readable = false; // both wrong: existence is checked first
    FakeEntry::Ptr const closed = fakeDir("/closed", {fakeFile("a")});
    closed->readable = false;
    struct {
        FakeEntry::Ptr root;
        std::string message;
    } const cases[] = {{missing, "The specified directory does not exist."},
                       {closed, "The specified directory is not readable."},
                       {nullptr, "The specified directory does not exist."}};
    for (auto const& c : cases) {
        FolderCrawler crawler(c.root);
        Crawl const crawl(crawler);
        EXPECT_EQ(crawl.error, c.message);
        EXPECT_THAT(crawl.directories, IsEmpty());
        EXPECT_THAT(crawl.files, IsEmpty());
        EXPECT_TRUE(!c.root || c.root->childrenCalls == 0);
    }
}

TEST(FolderCrawlerErrors, ErrorsEndTheWalkAndKeepWhatWasListed)
{
    FakeEntry::Ptr const locked = fakeDir("locked", {fakeFile("inside")});
    locked->readable = false;
    FakeEntry::Ptr const after = fakeFile("after");
    FolderCrawler crawler(fakeDir("/data", {fakeFile("a"), fakeDir("sub", {fakeFile("b"), locked}), after}));
    Crawl const crawl(crawler);
    EXPECT_EQ(crawl.error, "The specified path: /data/sub/locked is not readable."); // the full path
    EXPECT_THAT(crawl.files, ElementsAre("a", "sub/b"));
    EXPECT_EQ(locked->childrenCalls, 0);
    EXPECT_EQ(after->nameCalls, 0);

    // A second run lists everything again, but keeps the first run's error.
    locked->readable = true;
    Crawl const again(crawler);
    EXPECT_THAT(again.files, ElementsAre("a", "sub/b", "sub/locked/inside", "after"));
    EXPECT_EQ(again.error, crawl.error);

    FakeEntry::Ptr const broken = fakeDir("broken");
    broken->childrenError = "Listing failed: /data/broken";
    FolderCrawler throwing(fakeDir("/data", {fakeFile("a"), broken, fakeFile("b")}));
    Crawl const thrown(throwing);
    EXPECT_EQ(thrown.error, "Listing failed: /data/broken");
    EXPECT_THAT(thrown.files, ElementsAre("a"));
}

TEST(FolderCrawlerAbort, DestroyingARunningCrawlerWaitsAndStopsAtTheNextEntry)
{
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> const released = release.get_future().share();
    std::atomic<bool> listingReturned{false};
    FakeEntry::Ptr const inside = fakeFile("inside");
    FakeEntry::Ptr const slow = fakeDir("slow", {inside});
    slow->onChildren = [&] {
        entered.set_value();
        released.wait();
        listingReturned = true;
    };
    FakeEntry::Ptr const after = fakeFile("after");
    auto crawler = std::make_unique<FolderCrawler>(fakeDir("/data", {fakeFile("a"), slow, after}));
    crawler->start();
    ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);

    // The listing under way is completed first; it is released only well
    // after the destructor has raised the abort flag and begun to wait.
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        release.set_value();
    });
    crawler.reset();
    bool const returnedBeforeDestructorDid = listingReturned;
    releaser.join();
    EXPECT_TRUE(returnedBeforeDestructorDid);
    EXPECT_EQ(inside->nameCalls, 0);
    EXPECT_EQ(after->nameCalls, 0);
}

// A host calling run() itself while the crawler's thread runs it: the second
// run returns at once and leaves the result to the first.
TEST(FolderCrawlerWalk, ARunWhileTheThreadRunsReturnsAtOnce)
{
    std::promise<void> entered;
    std::promise<void> release;
    std::shared_future<void> const released = release.get_future().share();
    FakeEntry::Ptr const slow = fakeDir("slow", {fakeFile("inside")});
    slow->onChildren = [&] {
        entered.set_value();
        released.wait();
    };
    FolderCrawler crawler(fakeDir("/data", {fakeFile("a"), slow, fakeFile("b")}));
    crawler.start();
    ASSERT_EQ(entered.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);
    crawler.run();
    release.set_value();
    ASSERT_TRUE(crawler.wait(30000));
    EXPECT_TRUE(crawler.result().errorString.isNull());
    EXPECT_THAT(crawler.result().files, ElementsAre("a", "slow/inside", "b"));
    EXPECT_EQ(slow->childrenCalls, 1);
}

} // namespace
