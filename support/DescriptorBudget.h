#pragma once

#include "support/UniqueFd.h"

#include <atomic>
#include <cassert>
#include <cstddef>
#include <utility>

namespace support {

// How many descriptors some work may keep open at once, shared by the
// threads doing it. take() asks for a place and give() returns one; once
// shed(), no place is given out any more (the process ran out of
// descriptors: what is kept is closed as it goes, and the work goes on
// without). Lock-free; any thread.
//
//   limit 3:  take() take() take() -> true true true;  take() -> false
//             give() take()        -> true
//             shed() take()        -> false, whatever was given back
class DescriptorBudget {
public:
    explicit DescriptorBudget(std::size_t limit) : limit_(limit), left_(static_cast<std::ptrdiff_t>(limit)) {}
    DescriptorBudget(DescriptorBudget const&) = delete;
    DescriptorBudget& operator=(DescriptorBudget const&) = delete;

    // Whether one more descriptor may be kept open; if so, it holds a place
    // until give().
    bool take()
    {
        if (shed_.load(std::memory_order_relaxed))
            return false;
        if (left_.fetch_sub(1, std::memory_order_relaxed) > 0)
            return true;
        left_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    // A descriptor kept open has been closed. REQUIRES: a place taken before.
    void give()
    {
        [[maybe_unused]] std::ptrdiff_t const left = left_.fetch_add(1, std::memory_order_relaxed);
        assert(left < static_cast<std::ptrdiff_t>(limit_));
    }
    // Keeps no more from now on.
    void shed() { shed_.store(true, std::memory_order_relaxed); }
    std::size_t limit() const { return limit_; }

private:
    std::size_t const limit_;
    std::atomic<std::ptrdiff_t> left_; // places not taken; below 0 only while a take() fails
    std::atomic<bool> shed_{false};
};

// A descriptor kept open on a place of a DescriptorBudget: closed, and its
// place given back, when the holder goes. Empty when nothing is kept (a
// folder then reached by its path).
class KeptDescriptor {
public:
    KeptDescriptor() = default;
    // Takes over `fd` and the place taken for it.
    // REQUIRES: fd is valid, and budget.take() gave a place for it.
    KeptDescriptor(UniqueFd fd, DescriptorBudget& budget) : fd_(std::move(fd)), budget_(&budget)
    {
        assert(fd_.valid());
    }
    KeptDescriptor(KeptDescriptor&& other) noexcept
        : fd_(std::move(other.fd_)), budget_(std::exchange(other.budget_, nullptr))
    {
    }
    KeptDescriptor& operator=(KeptDescriptor&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = std::move(other.fd_);
            budget_ = std::exchange(other.budget_, nullptr);
        }
        return *this;
    }
    ~KeptDescriptor() { reset(); }

    // The descriptor, or -1 when none is kept.
    int get() const { return fd_.get(); }
    bool valid() const { return fd_.valid(); }

    // Closes the descriptor and gives its place back.
    void reset()
    {
        if (!fd_.valid())
            return;
        fd_.reset();
        budget_->give();
        budget_ = nullptr;
    }

private:
    UniqueFd fd_;
    DescriptorBudget* budget_ = nullptr;
};

} // namespace support
