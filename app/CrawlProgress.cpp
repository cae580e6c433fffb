#include "CrawlProgress.h"

#include "TextUtil.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace cli {
namespace {

constexpr qint64 REDRAW_MILLISECONDS = 200;

std::size_t terminalWidth()
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

} // namespace

CrawlProgress::CrawlProgress(std::shared_ptr<CountingFileInfo::Counter> files) : files_(std::move(files)) {}

CrawlProgress::~CrawlProgress()
{
    clear();
}

void CrawlProgress::clear()
{
    if (drawn_)
        std::fputs("\r\033[K", stderr);
    drawn_ = false;
}

void CrawlProgress::directoryEntered(QString const& directory)
{
    ++directories_;
    if (drawn_ && sinceDrawn_.isValid() && sinceDrawn_.elapsed() < REDRAW_MILLISECONDS)
        return;
    draw(directory);
    sinceDrawn_.start();
}

void CrawlProgress::draw(QString const& directory)
{
    std::string line = "crawling: " + counted(directories_, "folder", "folders") + ", " +
                       counted(files_->load(std::memory_order_relaxed), "file", "files") + "  ";
    std::size_t const width = terminalWidth() - 1;
    if (line.size() < width)
        line += lastColumns(printable(directory.toStdString()), width - line.size());
    else
        line.resize(width);
    std::fputs(("\r\033[K" + line).c_str(), stderr);
    drawn_ = true;
}

} // namespace cli
