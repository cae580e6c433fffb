#include "filecrawler/FolderCrawler.h"

#include "host/ExceptionBase.h"

#include <cassert>
#include <exception>
#include <utility>
#include <vector>

std::string const FolderCrawler::ROOT_PATH_DOES_NOT_EXIST_ERROR_STRING =
    "The specified directory does not exist.";
std::string const FolderCrawler::ROOT_PATH_IS_NOT_READABLE_ERROR_STRING =
    "The specified directory is not readable.";

std::string FolderCrawler::pathIsNotReadableErrorString(std::string const& path)
{
    return "The specified path: " + path + " is not readable.";
}

namespace {

using Children = std::vector<boost::shared_ptr<FileInfoInterface const>>;

// One directory level of the walk: its listed entries, the next one to visit,
// and its path relative to the root.
struct Level {
    Children children;
    std::size_t next;
    std::string relativePath;
};

std::string joined(std::string const& relativePath, std::string const& name)
{
    if (relativePath.empty())
        return name;
    std::string path;
    path.reserve(relativePath.size() + 1 + name.size());
    path += relativePath;
    path += '/';
    path += name;
    return path;
}

} // namespace

FolderCrawler::FolderCrawler(boost::shared_ptr<FileInfoInterface const> root)
    : QThread(nullptr), abortRequested_(false), running_(false), resultWritten_(false)
{
    result_.folder = std::move(root);
}

FolderCrawler::~FolderCrawler()
{
    abortRequested_ = true;
    wait();
    static_cast<void>(resultWritten_.load(std::memory_order_acquire));
}

FolderCrawler::Result const& FolderCrawler::result()
{
    static_cast<void>(resultWritten_.load(std::memory_order_acquire));
    return result_;
}

FolderCrawler::Result FolderCrawler::takeResult()
{
    static_cast<void>(resultWritten_.load(std::memory_order_acquire));
    Result taken;
    taken.folder = result_.folder;
    taken.files.swap(result_.files);
    taken.errorString = result_.errorString;
    return taken;
}

void FolderCrawler::abort()
{
    abortRequested_ = true;
}

void FolderCrawler::run()
{
    // One walk at a time writes the result; another run() leaves it alone.
    if (running_.exchange(true, std::memory_order_acquire))
        return;
    // However run() ends, the walk is over before the result is published:
    // the owner's acquiring load of resultWritten_ then orders every write
    // of this thread, the running flag's included, before it destroys us.
    struct Finish {
        std::atomic<bool>& running;
        std::atomic<bool>& written;
        ~Finish()
        {
            running.store(false, std::memory_order_relaxed);
            written.store(true, std::memory_order_release);
        }
    } const finish{running_, resultWritten_};
    result_.files.clear();
    try {
        // A null root has nothing to walk: report it as missing rather than crash the thread.
        if (!result_.folder || !result_.folder->exists())
            throw norvale::ExceptionBase(ROOT_PATH_DOES_NOT_EXIST_ERROR_STRING, false);
        if (!result_.folder->isReadable())
            throw norvale::ExceptionBase(ROOT_PATH_IS_NOT_READABLE_ERROR_STRING, false);
        crawlFolder(*result_.folder, std::string(), result_.files);
    } catch (std::exception const& error) {
        // Nothing may leave the worker thread; the owner reads the message.
        result_.errorString = QString::fromUtf8(error.what());
    }
}

// Depth-first, pre-order walk in children() order. It keeps its own stack of
// levels instead of recursing, so that no tree is deep enough to exhaust the
// thread's stack; the order of visits, signals and the abort checks are those
// of the recursive walk.
void FolderCrawler::crawlFolder(FileInfoInterface const& folder, std::string const& relativePath,
                                std::list<std::string>& files)
{
    std::vector<Level> levels;
    auto enter = [&](FileInfoInterface const& directory, std::string path) {
        if (directory.isDirectory())
            Q_EMIT processingDirectory(QString::fromUtf8(directory.path().c_str()));
        levels.push_back(Level{directory.children(std::string()), 0, std::move(path)});
    };

    enter(folder, relativePath);
    while (!levels.empty()) {
        Level& level = levels.back();
        if (level.next == level.children.size()) {
            levels.pop_back();
            continue;
        }
        if (abortRequested_)
            return;
        // The child stays alive while the level vector grows: the vector of
        // children moves, the shared pointers in it do not (no reference
        // count to change per file).
        assert(level.children[level.next] != nullptr); // children() gives no null entries
        FileInfoInterface const& child = *level.children[level.next++];
        std::string childPath = joined(level.relativePath, child.name());
        if (child.isFile())
            files.push_back(std::move(childPath));
        else if (child.isReadable())
            enter(child, std::move(childPath));
        else
            throw norvale::ExceptionBase(pathIsNotReadableErrorString(child.path()), false);
    }
}
