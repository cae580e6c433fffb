#pragma once

#include "CountingFileInfo.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

namespace cli {

// One line on a terminal's standard error, redrawn at most five times a
// second while a crawl runs: folders entered, files found, current folder.
class CrawlProgress : public QObject {
    Q_OBJECT

public:
    explicit CrawlProgress(std::shared_ptr<CountingFileInfo::Counter> files);
    ~CrawlProgress() override;

    // Removes the line.
    void clear();

public Q_SLOTS:
    // Connected, queued, to FolderCrawler::processingDirectory.
    void directoryEntered(QString const& directory);

private:
    void draw(QString const& directory);

    std::shared_ptr<CountingFileInfo::Counter> files_;
    std::uint64_t directories_ = 0;
    QElapsedTimer sinceDrawn_;
    bool drawn_ = false;
};

} // namespace cli
