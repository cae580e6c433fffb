#pragma once

#include <exception>
#include <system_error>
#include <thread>

// Runs `besides` on a thread of its own while `here` runs on the calling
// thread, and returns once both are done. An exception from either is
// thrown here, the calling thread's first. False, with neither run, on a
// single core or when no thread can be started: the caller then does the
// work on its own.
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
