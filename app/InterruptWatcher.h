#pragma once

#include <QObject>

class QSocketNotifier;

namespace cli {

// Turns Ctrl-C (SIGINT) into a Qt signal on the main thread, through a pipe
// that the signal handler writes to. The first Ctrl-C is caught; the handler
// is then reset, so a second one ends the program at once.
class InterruptWatcher : public QObject {
    Q_OBJECT

public:
    // Installs the handler; one watcher per program.
    InterruptWatcher();
    ~InterruptWatcher() override;

    // Whether Ctrl-C was pressed; safe to ask at any time.
    static bool requested();

Q_SIGNALS:
    // Delivered by the event loop after Ctrl-C.
    void interrupted();

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace cli
