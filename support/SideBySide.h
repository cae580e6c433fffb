#pragma once

#include <exception>
#include <system_error>
#include <thread>

namespace support {

// Runs `besides` on a thread of its own while `here` runs on the calling
// thread, and returns once both are done.
//
//   calling thread:  start helper ── here() ─────────── join ── rethrow?
//   helper thread:                └─ besides() ──────┘
//
// An exception from either is thrown here, the calling thread's first (the
// helper's is then dropped). False, with neither run, on a single core or
// when no thread can be started: the caller then does the work on its own.
//
// REQUIRES: `besides` and `here` touch no data in common but what they only
// read; both are called by reference and do not outlive the call.
template <typename Besides, typename Here> bool runSideBySide(Besides&& besides, Here&& here)
{
    if (std::thread::hardware_concurrency() < 2)
        return false;
    std::exception_ptr besidesError;
    std::thread helper;
    try {
        helper = std::thread([&] {
            try {
                besides();
            } catch (...) {
                besidesError = std::current_exception();
            }
        });
    } catch (std::system_error const&) {
        return false;
    }
    try {
        here();
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (besidesError)
        std::rethrow_exception(besidesError);
    return true;
}

} // namespace support
