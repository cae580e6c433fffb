#pragma once

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace support {

// Owns one file descriptor opened for reading (a directory, say): closes it
// when it goes, is moved but never copied.
//
//   UniqueFd fd(openat(...));   // -1 when the open failed: holds nothing
//   if (!fd.valid()) return;    // errno is still the open's
//   use(fd.get());              // closed at the end of the scope
//
// Closing keeps errno, so that the error a caller is about to report
// survives the close. A failed close of a descriptor that was only read
// loses nothing, so its result is not looked at; descriptors that are
// written are closed, and checked, by their writers.
class UniqueFd {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(UniqueFd const&) = delete;
    UniqueFd& operator=(UniqueFd const&) = delete;
    ~UniqueFd() { reset(); }

    // The descriptor, or -1 when none is held.
    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }

    // Gives the descriptor up without closing it.
    int release() noexcept { return std::exchange(fd_, -1); }

    // Closes the descriptor held, if any, then holds `fd`.
    void reset(int fd = -1) noexcept
    {
        if (fd_ >= 0) {
            int const saved = errno;
            ::close(fd_);
            errno = saved;
        }
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

} // namespace support
