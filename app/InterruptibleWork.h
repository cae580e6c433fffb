#pragma once

#include <functional>

namespace cli {

// Runs `work` on a thread of its own while the calling thread watches for
// Ctrl-C (InterruptWatcher::requested, looked at every 20 ms), so that Ctrl-C
// is answered at once whatever the work is doing: the library's stages have
// no abort, and a write may wait on a slow reader.
//
// Returns true once the work has ended (an exception it threw is thrown
// again here), or false as soon as Ctrl-C was pressed. The work then still
// runs, on what it refers to: the caller must end the program with _exit()
// before leaving the scope of those objects. Where no thread can be started,
// the work runs on the calling thread.
bool runInterruptibly(std::function<void()> work);

} // namespace cli
