#pragma once

#include "CountingFileInfo.h"
#include "filecrawler/FolderCrawler.h"
#include "host/FileInfoInterface.h"

#include <boost/shared_ptr.hpp>

#include <memory>

namespace cli {

class InterruptWatcher;

// Crawls `root` on the crawler's worker thread while the main thread runs an
// event loop: it draws the progress line (when `showProgress`) from the
// crawler's processingDirectory signal, delivered queued, and watches for
// Ctrl-C, which aborts the crawl by destroying the crawler.
//
// Returns the finished crawler, whose result() holds the files, or null when
// the crawl was interrupted. What stopped a crawl that failed is in `stop`.
// Throws std::system_error when the crawler's thread cannot be started.
std::unique_ptr<FolderCrawler> crawlTree(boost::shared_ptr<FileInfoInterface const> root, bool showProgress,
                                         InterruptWatcher& interrupts,
                                         std::shared_ptr<CrawlStop> const& stop);

} // namespace cli
