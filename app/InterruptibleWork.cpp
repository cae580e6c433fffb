#include "InterruptibleWork.h"

#include "InterruptWatcher.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace cli {
namespace {

// Shared with the thread, which may outlive the call.
struct Work {
    std::function<void()> run;
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::exception_ptr failure;
};

} // namespace

bool runInterruptibly(std::function<void()> work)
{
    auto const shared = std::make_shared<Work>();
    shared->run = std::move(work);
    std::thread thread;
    try {
        thread = std::thread([shared] {
            std::exception_ptr failure;
            try {
                shared->run();
            } catch (...) {
                failure = std::current_exception();
            }
            std::lock_guard<std::mutex> const lock(shared->mutex);
            shared->failure = failure;
            shared->done = true;
            shared->ended.notify_one();
        });
    } catch (std::system_error const&) {
        shared->run(); // no thread to be had: without a watcher, then
        return true;
    }

    std::unique_lock<std::mutex> lock(shared->mutex);
    while (!shared->done) {
        shared->ended.wait_for(lock, std::chrono::milliseconds(20));
        if (!shared->done && InterruptWatcher::requested()) {
            thread.detach();
            return false;
        }
    }
    lock.unlock();
    thread.join();
    if (shared->failure)
        std::rethrow_exception(shared->failure);
    return true;
}

} // namespace cli
