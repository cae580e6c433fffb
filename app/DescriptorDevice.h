#pragma once

#include <QIODevice>

#include <atomic>
#include <cstdint>
#include <string>

namespace cli {

// A write-only QIODevice on a file descriptor that it does not own, with a
// buffer of its own and every write checked: interrupted and short writes
// are resumed, a descriptor that would block is waited for, and the first
// failure is kept and ends all writing. Another thread may stop the writing
// and ask how much of it the system has taken.
class DescriptorDevice : public QIODevice {
public:
    explicit DescriptorDevice(int descriptor);

    bool isSequential() const override { return true; }

    // Writes out what is buffered; false when a write failed.
    bool flushBuffer();
    // The errno of the first failed write, or 0.
    int failure() const { return failure_; }

    // Any thread: starts no write from now on.
    void stop() { stopped_.store(true); }
    // Any thread: the bytes the system has taken so far, and whether a write
    // is under way (it may take more).
    std::uint64_t delivered() const { return delivered_.load(); }
    bool writing() const { return writing_.load(); }

protected:
    qint64 readData(char* data, qint64 size) override;
    qint64 writeData(char const* data, qint64 size) override;

private:
    bool writeOut(char const* data, std::size_t size);

    int descriptor_;
    std::string buffer_;
    int failure_ = 0;
    std::atomic<std::uint64_t> delivered_{0};
    std::atomic<bool> writing_{false};
    std::atomic<bool> stopped_{false};
};

} // namespace cli
