#include "OutputFile.h"

#include "ProgramError.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

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

// N of "/dev/fd/N" and its like, by the name alone; -1 for other names.
int descriptorNamed(std::string const& path)
{
    if (path == "/dev/stdin")
        return 0;
    if (path == "/dev/stdout")
        return 1;
    if (path == "/dev/stderr")
        return 2;
    for (std::string const& folder :
         {std::string("/dev/fd/"), std::string("/proc/self/fd/"), std::string("/proc/thread-self/fd/"),
          "/proc/" + std::to_string(getpid()) + "/fd/"}) {
        if (path.compare(0, folder.size(), folder) != 0)
            continue;
        std::string const number = path.substr(folder.size());
        if (number.empty() || number.size() > 9 ||
            number.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        return std::atoi(number.c_str());
    }
    return -1;
}

// A name for a temporary file that no other run picks at the same time.
std::string randomSuffix()
{
    static std::atomic<std::uint64_t> counter{0};
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::uint64_t bits = std::uint64_t(now.tv_nsec) ^ (std::uint64_t(now.tv_sec) << 30) ^
                         (std::uint64_t(getpid()) << 40) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
    static char const digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string suffix;
    for (int i = 0; i < 8; ++i, bits /= 36)
        suffix += digits[bits % 36];
    return suffix;
}

} // namespace

int ownDescriptor(std::string const& path)
{
    std::string current = path;
    std::vector<char> link(PATH_MAX);
    for (int hop = 0; hop < 40; ++hop) {
        int const named = descriptorNamed(current);
        if (named >= 0)
            return fcntl(named, F_GETFD) == -1 ? -1 : named;
        ssize_t const length = readlink(current.c_str(), link.data(), link.size());
        if (length <= 0 || std::size_t(length) >= link.size())
            return -1;
        std::string target(link.data(), std::size_t(length));
        current = target.front() == '/' ? target : folderOf(current) + "/" + target;
    }
    return -1;
}

bool replacesFile(std::string const& path)
{
    if (isStandardOutput(path) || path.back() == '/' || ownDescriptor(path) >= 0)
        return false;
    struct stat target {};
    return stat(path.c_str(), &target) != 0 || S_ISREG(target.st_mode);
}

OutputFile::OutputFile(std::string path, std::string role, std::string contents)
    : path_(std::move(path)), role_(std::move(role)), contents_(std::move(contents)),
      name_(isStandardOutput(path_) ? std::string("standard output") : quoted(path_))
{
}

OutputFile::~OutputFile()
{
    if (ownsDescriptor_ && descriptor_ >= 0)
        close(descriptor_);
    std::lock_guard<std::mutex> const lock(mutex_);
    removeTemporary();
}

std::string OutputFile::systemError(int code) const
{
    return name_ + ": " + std::strerror(code);
}

void OutputFile::failOpen(std::string const& reason) const
{
    throw ProgramError(OutputNotWritable, "cannot write " + role_ + ": " + reason + ".");
}

void OutputFile::failWrite(std::string const& reason)
{
    throw ProgramError(OutputNotWritable, "cannot write " + role_ + ": " + reason + "; " + abandon() + ".");
}

void OutputFile::checkReplaceable() const
{
    struct stat target {};
    if (stat(path_.c_str(), &target) == 0) {
        if (access(path_.c_str(), W_OK) != 0)
            failOpen(name_ + " is not writable");
    } else if (path_.back() == '/') {
        failOpen(name_ + " names a folder, not a file");
    }

    // The new contents go to a temporary file in the same folder first.
    std::string const folder = folderOf(resolved(path_));
    struct stat folderStatus {};
    if (stat(folder.c_str(), &folderStatus) != 0)
        failOpen("the folder " + quoted(folder) + " does not exist");
    if (!S_ISDIR(folderStatus.st_mode))
        failOpen(quoted(folder) + " is not a folder");
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        failOpen("the folder " + quoted(folder) + " is not writable");
}

void OutputFile::removeTemporary()
{
    if (!temporary_.empty())
        unlink(temporary_.c_str());
    temporary_.clear();
}

void OutputFile::open(bool (*interrupted)())
{
    int const own = isStandardOutput(path_) ? STDOUT_FILENO : ownDescriptor(path_);
    struct stat status {};
    if (own >= 0) {
        mode_ = Mode::Own;
        int const flags = fcntl(own, F_GETFL);
        if (flags == -1)
            failOpen(systemError(errno));
        if ((flags & O_ACCMODE) == O_RDONLY)
            failOpen(name_ + " is not open for writing");
        descriptor_ = own;
    } else if (stat(path_.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        mode_ = Mode::Direct;
        if (S_ISDIR(status.st_mode))
            failOpen(name_ + " is a folder");
        // Without O_NONBLOCK, opening a FIFO waits for a reader where no
        // Ctrl-C reaches; so it is tried again until a reader comes.
        for (;;) {
            descriptor_ = ::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
            if (descriptor_ >= 0)
                break;
            int const code = errno;
            if (code == ENXIO && S_ISFIFO(status.st_mode)) {
                if (interrupted())
                    throw ProgramError(Interrupted, "interrupted while waiting for a reader of " + role_ +
                                                        "; nothing was written.");
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            } else if (code != EINTR) {
                failOpen(systemError(code));
            }
        }
        ownsDescriptor_ = true;
        int const flags = fcntl(descriptor_, F_GETFL);
        if (flags == -1 || fcntl(descriptor_, F_SETFL, flags & ~O_NONBLOCK) == -1)
            failOpen(systemError(errno));
    } else {
        mode_ = Mode::Replace;
        checkReplaceable();
        target_ = resolved(path_);
        existed_ = stat(target_.c_str(), &status) == 0;
        return;
    }
    std::lock_guard<std::mutex> const lock(mutex_);
    device_ = std::make_unique<DescriptorDevice>(descriptor_);
    device_->open(QIODevice::WriteOnly);
}

void OutputFile::begin()
{
    if (mode_ != Mode::Replace)
        return;
    std::size_t const slash = target_.rfind('/');
    std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    base.resize(std::min<std::size_t>(base.size(), 200)); // room for the suffix within NAME_MAX
    std::string const folder = folderOf(target_);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string const candidate = folder + "/." + base + "." + randomSuffix();
        int const descriptor =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (descriptor < 0) {
            if (errno == EEXIST)
                continue;
            failWrite(systemError(errno));
        }
        std::lock_guard<std::mutex> const lock(mutex_);
        temporary_ = candidate;
        descriptor_ = descriptor;
        ownsDescriptor_ = true;
        device_ = std::make_unique<DescriptorDevice>(descriptor_);
        device_->open(QIODevice::WriteOnly);
        if (abandoned_)
            device_->stop();
        return;
    }
    failWrite(systemError(EEXIST));
}

QIODevice& OutputFile::device()
{
    return *device_;
}

void OutputFile::commit()
{
    int code = 0;
    if (!device_->flushBuffer())
        code = device_->failure();
    if (mode_ == Mode::Replace && code == 0) {
        // The new file keeps the mode of the one it replaces.
        struct stat old {};
        if (existed_ && stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
            fchmod(descriptor_, old.st_mode & 07777) != 0)
            code = errno;
        else if (fsync(descriptor_) != 0)
            code = errno;
    }
    if (ownsDescriptor_) {
        int const descriptor = descriptor_;
        descriptor_ = -1;
        if (close(descriptor) != 0 && errno != EINTR && code == 0)
            code = errno;
    } else if (code == 0 && fsync(descriptor_) != 0 && errno != EINVAL && errno != EROFS) {
        code = errno; // a regular file behind a descriptor of ours; pipes and terminals cannot be synced
    }

    std::unique_lock<std::mutex> lock(mutex_);
    if (code == 0 && abandoned_)
        code = ECANCELED;
    if (mode_ == Mode::Replace && code == 0 && rename(temporary_.c_str(), target_.c_str()) != 0)
        code = errno;
    if (code != 0) {
        removeTemporary();
        lock.unlock();
        failWrite(systemError(code));
    }
    temporary_.clear();
    committed_ = true;
    lock.unlock();

    if (mode_ == Mode::Replace) {
        // The rename itself is on disk only once the folder is.
        int const folder = ::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0)
            failWrite(systemError(errno));
        code = fsync(folder) != 0 && errno != EINVAL ? errno : 0;
        if (close(folder) != 0 && code == 0 && errno != EINTR)
            code = errno;
        if (code != 0)
            failWrite(systemError(code));
    }
}

std::string OutputFile::abandon()
{
    std::unique_lock<std::mutex> lock(mutex_);
    abandoned_ = true;
    if (committed_)
        return name_ + " got all of " + contents_;
    if (device_)
        device_->stop();
    if (mode_ == Mode::Replace) {
        removeTemporary();
        return existed_ ? "nothing was written, and " + name_ + " is as it was" : "nothing was written";
    }
    if (!device_)
        return "nothing was written";
    // A write under way ends soon, unless the reader is slow.
    for (int i = 0; i < 50 && device_->writing(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::uint64_t const delivered = device_->delivered();
    bool const writing = device_->writing();
    if (delivered == 0 && !writing)
        return "nothing was written";
    return name_ + " got the first " + std::to_string(delivered) + " bytes of " + contents_ +
           (writing ? " (and perhaps some more: a write was under way)" : "");
}

} // namespace cli
