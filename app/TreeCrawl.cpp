#include "TreeCrawl.h"

#include "CountingFileInfo.h"
#include "CrawlProgress.h"
#include "InterruptWatcher.h"

#include <QEventLoop>
#include <boost/make_shared.hpp>

#include <system_error>

namespace cli {

std::unique_ptr<FolderCrawler> crawlTree(boost::shared_ptr<FileInfoInterface const> root, bool showProgress,
                                         InterruptWatcher& interrupts, std::shared_ptr<CrawlStop> const& stop)
{
    auto files = std::make_shared<CountingFileInfo::Counter>(0);
    root = boost::make_shared<CountingFileInfo const>(root, files, stop);
    std::unique_ptr<CrawlProgress> progress;
    if (showProgress)
        progress = std::make_unique<CrawlProgress>(files);

    auto crawler = std::make_unique<FolderCrawler>(root);
    QEventLoop loop;
    QObject::connect(crawler.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, &loop, &QEventLoop::quit);
    if (progress)
        QObject::connect(crawler.get(), &FolderCrawler::processingDirectory, progress.get(),
                         &CrawlProgress::directoryEntered, Qt::QueuedConnection);

    crawler->start();
    if (!crawler->isRunning() && !crawler->isFinished()) // Qt only warns when it cannot start a thread
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                "cannot start the crawl's thread");
    if (!InterruptWatcher::requested())
        loop.exec();
    if (progress)
        progress->clear();
    if (InterruptWatcher::requested()) {
        crawler.reset(); // raises the abort flag and waits for the worker thread
        return nullptr;
    }
    crawler->wait();
    return crawler;
}

} // namespace cli
