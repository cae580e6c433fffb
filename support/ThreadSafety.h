#pragma once

#include <condition_variable>
#include <mutex>

// Clang's thread-safety annotations (-Wthread-safety, on in every clang
// build: brim_filecrawler_warnings in the top-level CMakeLists.txt). They
// name the mutex that guards each field and what a function needs held;
// other compilers see nothing.
#if defined(__clang__)
#define BRIM_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define BRIM_THREAD_ANNOTATION(x)
#endif

#define BRIM_CAPABILITY(x) BRIM_THREAD_ANNOTATION(capability(x))
#define BRIM_SCOPED_CAPABILITY BRIM_THREAD_ANNOTATION(scoped_lockable)
#define BRIM_GUARDED_BY(x) BRIM_THREAD_ANNOTATION(guarded_by(x))
#define BRIM_REQUIRES(...) BRIM_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define BRIM_EXCLUDES(...) BRIM_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define BRIM_ACQUIRE(...) BRIM_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define BRIM_RELEASE(...) BRIM_THREAD_ANNOTATION(release_capability(__VA_ARGS__))

namespace support {

// std::mutex, annotated: fields marked BRIM_GUARDED_BY(m) are checked to be
// touched only while `m` is held.
class BRIM_CAPABILITY("mutex") Mutex {
public:
    void lock() BRIM_ACQUIRE() { mutex_.lock(); }
    void unlock() BRIM_RELEASE() { mutex_.unlock(); }

private:
    friend class MutexLock;
    std::mutex mutex_;
};

// Holds a Mutex for its scope (std::unique_lock, annotated); unlock() and
// lock() let go of it and take it again within the scope, and wait() on a
// condition variable lets go while it waits.
class BRIM_SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(Mutex& mutex) BRIM_ACQUIRE(mutex) : lock_(mutex.mutex_) {}
    ~MutexLock() BRIM_RELEASE() = default;
    MutexLock(MutexLock const&) = delete;
    MutexLock& operator=(MutexLock const&) = delete;

    void lock() BRIM_ACQUIRE() { lock_.lock(); }
    void unlock() BRIM_RELEASE() { lock_.unlock(); }

    // Waits on `condition` once (wake-ups may be spurious: wait in a loop
    // on what is waited for).
    void wait(std::condition_variable& condition) { condition.wait(lock_); }

private:
    std::unique_lock<std::mutex> lock_;
};

} // namespace support
