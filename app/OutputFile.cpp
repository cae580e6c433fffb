#include "OutputFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {
namespace {

bool isStandardOutput(std::string const& path)
{
    return path.empty() || path == "-";
}

std::string folderOf(std::string const& path)
{
    std::size_t const slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string quoted(std::string const& text)
{
    return "\"" + text + "\"";
}

// The file a path names, through symbolic links; the path itself when it
// cannot be resolved.
std::string resolved(std::string const& path)
{
    char* const real = realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return path;
    std::string result(real);
    std::free(real);
    return result;
}

} // namespace

std::string outputPathProblem(std::string const& path)
{
    if (isStandardOutput(path))
        return std::string();
    struct stat target {};
    if (stat(path.c_str(), &target) == 0) {
        if (S_ISDIR(target.st_mode))
            return quoted(path) + " is a folder";
        if (access(path.c_str(), W_OK) != 0)
            return quoted(path) + " is not writable";
        if (!S_ISREG(target.st_mode))
            return std::string(); // a device or pipe, written directly
    } else if (path.back() == '/') {
        return quoted(path) + " names a folder, not a file";
    }

    // The new contents go to a temporary file in the same folder first.
    std::string const folder = folderOf(resolved(path));
    struct stat folderStatus {};
    if (stat(folder.c_str(), &folderStatus) != 0)
        return "the folder " + quoted(folder) + " does not exist";
    if (!S_ISDIR(folderStatus.st_mode))
        return quoted(folder) + " is not a folder";
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return "the folder " + quoted(folder) + " is not writable";
    return std::string();
}

OutputFile::OutputFile(std::string path) : path_(std::move(path)), mode_(Mode::Replace)
{
    struct stat target {};
    if (isStandardOutput(path_))
        mode_ = Mode::StandardOutput;
    else if (stat(path_.c_str(), &target) == 0 && !S_ISREG(target.st_mode))
        mode_ = Mode::Direct;
}

bool OutputFile::open(std::string& error)
{
    bool opened = false;
    switch (mode_) {
    case Mode::StandardOutput:
        opened = direct_.open(stdout, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
        break;
    case Mode::Direct:
        direct_.setFileName(QFile::decodeName(path_.c_str()));
        opened = direct_.open(QIODevice::WriteOnly);
        break;
    case Mode::Replace: {
        std::string const problem = outputPathProblem(path_);
        if (!problem.empty()) {
            error = problem;
            return false;
        }
        replacement_.setFileName(QFile::decodeName(resolved(path_).c_str()));
        opened = replacement_.open(QIODevice::WriteOnly);
        break;
    }
    }
    if (!opened)
        error = (mode_ == Mode::StandardOutput ? std::string("standard output") : quoted(path_)) + ": " +
                device().errorString().toStdString();
    return opened;
}

QIODevice& OutputFile::device()
{
    if (mode_ == Mode::Replace)
        return replacement_;
    return direct_;
}

bool OutputFile::commit(std::string& error)
{
    std::string const name = mode_ == Mode::StandardOutput ? std::string("standard output") : quoted(path_);
    if (mode_ == Mode::Replace) {
        if (replacement_.commit())
            return true;
        error = name + ": " + replacement_.errorString().toStdString();
        return false;
    }
    bool const written = direct_.error() == QFileDevice::NoError && direct_.flush() &&
                         (mode_ != Mode::StandardOutput || std::fflush(stdout) == 0);
    if (!written)
        error = name + ": " +
                (direct_.error() != QFileDevice::NoError ? direct_.errorString().toStdString()
                                                         : std::string(std::strerror(errno)));
    return written;
}

} // namespace cli
