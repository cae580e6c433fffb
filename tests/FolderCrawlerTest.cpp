#include "filecrawler/FolderCrawler.h"
#include "FakeFileTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QThread>

#include <chrono>
#include <future>
#include <list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Collects the directories a crawler reports, on whichever thread it emits.
struct SignalLog {
    std::vector<std::string> directories;
    std::vector<QThread*> threads;

    void attach(FolderCrawler& crawler)
    {
        QObject::connect(
            &crawler, &FolderCrawler::processingDirectory, &crawler,
            [this](QString directory) {
                directories.push_back(directory.toStdString());
                threads.push_back(QThread::currentThread());
            },
            Qt::DirectConnection);
    }
};

void runToEnd(FolderCrawler& crawler)
{
    crawler.start();
    ASSERT_TRUE(crawler.wait(30000)) << "crawl did not finish";
    // result() orders the walk's writes (the signal log's too) before this
    // thread's reads visibly to ThreadSanitizer; wait() does it inside Qt.
    crawler.result();
}

std::vector<std::string> files(FolderCrawler& crawler)
{
    std::list<std::string> const& list = crawler.result().files;
    return {list.begin(), list.end()};
}

TEST(FolderCrawlerWalk, EmptyRootSignalsOnceAndListsNothing)
{
    FakeEntry::Ptr const root = fakeDir("/data");
    FolderCrawler crawler(root);
    SignalLog log;
    log.attach(crawler);
    runToEnd(crawler);

    EXPECT_THAT(log.directories, ElementsAre("/data"));
    EXPECT_THAT(files(crawler), IsEmpty());
    EXPECT_TRUE(crawler.result().errorString.isNull());
    EXPECT_EQ(crawler.result().folder, root);
}

TEST(FolderCrawlerWalk, DepthFirstInListingOrderWithSignalsOnTheWorkerThread)
{
    FakeEntry::Ptr const locked = fakeFile("b"); // a file's readability is never asked
    locked->readable = false;
    FakeEntry::Ptr const root = fakeDir(
        "/data", {fakeFile("a"), fakeDir("d", {fakeFile("x"), fakeDir("e", {fakeFile("y")}), fakeFile("z")}),
                  fakeDir("empty"), locked});
    FolderCrawler crawler(root);
    SignalLog log;
    log.attach(crawler);
    runToEnd(crawler);

    // Listing order is kept: no sorting, "/" joins components, the root's own
    // name is not part of any path.
    EXPECT_THAT(files(crawler), ElementsAre("a", "d/x", "d/e/y", "d/z", "b"));
    EXPECT_THAT(log.directories, ElementsAre("/data", "/data/d", "/data/d/e", "/data/empty"));
    for (QThread* thread : log.threads)
        EXPECT_EQ(thread, &crawler);
    EXPECT_TRUE(crawler.result().errorString.isNull());
}

TEST(FolderCrawlerWalk, RootThatIsNotADirectoryIsListedWithoutSignal)
{
    FakeEntry::Ptr const root = fakeDir("/data/archive.zip", {fakeFile("inner")});
    root->directory = false;
    FolderCrawler crawler(root);
    SignalLog log;
    log.attach(crawler);
    runToEnd(crawler);

    EXPECT_THAT(log.directories, IsEmpty());
    EXPECT_THAT(files(crawler), ElementsAre("inner"));
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
                       {closed, "The specified directory is not readable."}};
    for (auto const& c : cases) {
        FolderCrawler crawler(c.root);
        SignalLog log;
        log.attach(crawler);
        runToEnd(crawler);
        EXPECT_EQ(crawler.result().errorString.toStdString(), c.message);
        EXPECT_THAT(log.directories, IsEmpty());
        EXPECT_THAT(files(crawler), IsEmpty());
        EXPECT_EQ(c.root->childrenCalls, 0);
    }
    EXPECT_EQ(FolderCrawler::ROOT_PATH_DOES_NOT_EXIST_ERROR_STRING,
              "The specified directory does not exist.");
    EXPECT_EQ(FolderCrawler::ROOT_PATH_IS_NOT_READABLE_ERROR_STRING,
              "The specified directory is not readable.");
}

TEST(FolderCrawlerErrors, NullRootIsReportedAsMissing)
{
    FolderCrawler crawler{boost::shared_ptr<FileInfoInterface const>()};
    runToEnd(crawler);
    EXPECT_EQ(crawler.result().errorString.toStdString(),
              FolderCrawler::ROOT_PATH_DOES_NOT_EXIST_ERROR_STRING);
}

TEST(FolderCrawlerErrors, UnreadableEntryStopsTheWalkAndKeepsWhatWasListed)
{
    FakeEntry::Ptr const locked = fakeDir("locked", {fakeFile("inside")});
    locked->readable = false;
    FakeEntry::Ptr const after = fakeFile("after");
    FakeEntry::Ptr const root =
        fakeDir("/data", {fakeFile("a"), fakeDir("sub", {fakeFile("b"), locked}), after});
    FolderCrawler crawler(root);
    runToEnd(crawler);

    // The message names the full path, not the relative one.
    EXPECT_EQ(crawler.result().errorString.toStdString(),
              "The specified path: /data/sub/locked is not readable.");
    EXPECT_THAT(files(crawler), ElementsAre("a", "sub/b"));
    EXPECT_EQ(locked->childrenCalls, 0);
    EXPECT_EQ(after->nameCalls, 0);
}

TEST(FolderCrawlerErrors, ExceptionFromTheTreeEndsTheWalkWithItsMessage)
{
    FakeEntry::Ptr const broken = fakeDir("broken");
    broken->childrenError = "Listing failed: /data/broken";
    FolderCrawler crawler(fakeDir("/data", {fakeFile("a"), broken, fakeFile("b")}));
    runToEnd(crawler);

    EXPECT_EQ(crawler.result().errorString.toStdString(), "Listing failed: /data/broken");
    EXPECT_THAT(files(crawler), ElementsAre("a"));
}

TEST(FolderCrawlerErrors, SecondRunRebuildsTheListButKeepsTheOldError)
{
    FakeEntry::Ptr const locked = fakeDir("locked", {fakeFile("x")});
    locked->readable = false;
    FolderCrawler crawler(fakeDir("/data", {fakeFile("a"), locked, fakeFile("b")}));
    runToEnd(crawler);
    ASSERT_THAT(files(crawler), ElementsAre("a"));

    locked->readable = true;
    runToEnd(crawler);
    EXPECT_THAT(files(crawler), ElementsAre("a", "locked/x", "b"));
    EXPECT_EQ(crawler.result().errorString.toStdString(),
              "The specified path: /data/locked is not readable.");
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

} // namespace
