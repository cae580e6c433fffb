#include "DescriptorDevice.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace cli {
namespace {

constexpr std::size_t BUFFER_SIZE = 1 << 16;
constexpr std::size_t LARGEST_WRITE = 1 << 20; // so that a stop is seen between the pieces of a large write

} // namespace

DescriptorDevice::DescriptorDevice(int descriptor) : descriptor_(descriptor)
{
    buffer_.reserve(BUFFER_SIZE);
}

qint64 DescriptorDevice::readData(char*, qint64)
{
    return -1;
}

qint64 DescriptorDevice::writeData(char const* data, qint64 size)
{
    if (failure_ != 0)
        return -1;
    auto const length = static_cast<std::size_t>(size);
    if (buffer_.size() + length > BUFFER_SIZE) {
        if (!flushBuffer())
            return -1;
        if (length >= BUFFER_SIZE)
            return writeOut(data, length) ? size : -1;
    }
    buffer_.append(data, length);
    return size;
}

bool DescriptorDevice::flushBuffer()
{
    if (failure_ != 0)
        return false;
    bool const written = writeOut(buffer_.data(), buffer_.size());
    buffer_.clear();
    return written;
}

bool DescriptorDevice::writeOut(char const* data, std::size_t size)
{
    while (size > 0) {
        // Set before the stop is looked at, so that a thread that stops the
        // writing and then sees no write under way knows that none will start.
        writing_.store(true);
        if (stopped_.load()) {
            writing_.store(false);
            failure_ = ECANCELED;
            return false;
        }
        ssize_t const written = ::write(descriptor_, data, std::min(size, LARGEST_WRITE));
        int const error = errno;
        if (written > 0)
            delivered_.fetch_add(std::uint64_t(written));
        writing_.store(false);
        if (written > 0) {
            data += written;
            size -= std::size_t(written);
        } else if (written < 0 && (error == EAGAIN || error == EWOULDBLOCK)) {
            pollfd ready{descriptor_, POLLOUT, 0};
            poll(&ready, 1, 100);
        } else if (written == 0 || error != EINTR) {
            failure_ = written == 0 ? EIO : error;
            return false;
        }
    }
    return true;
}

} // namespace cli
