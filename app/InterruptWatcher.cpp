#include "InterruptWatcher.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cli {
namespace {

volatile std::sig_atomic_t interruptRequested = 0;
int pipeEnds[2] = {-1, -1};

extern "C" void onInterrupt(int)
{
    interruptRequested = 1;
    char const byte = 1;
    if (pipeEnds[1] >= 0) {
        ssize_t const written = write(pipeEnds[1], &byte, 1); // async-signal-safe
        (void)written;
    }
}

} // namespace

InterruptWatcher::InterruptWatcher()
{
    if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) == 0) {
        notifier_ = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            char buffer[16];
            while (read(pipeEnds[0], buffer, sizeof buffer) > 0) {
            }
            Q_EMIT interrupted();
        });
    }
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

InterruptWatcher::~InterruptWatcher()
{
    signal(SIGINT, SIG_DFL);
    delete notifier_;
    notifier_ = nullptr;
    for (int& end : pipeEnds) {
        if (end >= 0)
            close(end);
        end = -1;
    }
}

bool InterruptWatcher::requested()
{
    return interruptRequested != 0;
}

} // namespace cli
