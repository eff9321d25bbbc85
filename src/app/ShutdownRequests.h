#pragma once
// Requests to end the program that come from outside its windows: SIGTERM, SIGINT and
// SIGHUP (a logout, `kill`, Ctrl+C in a terminal, a closed terminal), and the session
// manager's quit, which reaches Qt as a quit event on the application. Each becomes one
// call of `OnRequest` on the window thread, where the program closes as closing the
// player window does.
//
// The signal handler only writes the signal's number into a pipe and gives the signal
// back its default action, so a second one ends a program whose window thread no longer
// answers. One object at a time; it must be created on the window thread after the
// application object. `InstallHandlers` may run long before it (first thing in main):
// a signal that comes during start-up waits in the pipe and is answered once the event
// loop runs, so the program still ends cleanly.

#include <QObject>

#include <functional>

class QSocketNotifier;

class ShutdownRequests : public QObject {
    Q_OBJECT
public:
    explicit ShutdownRequests(QObject* parent = nullptr);

    // Makes the pipe and takes the signals over, if not done yet. No Qt needed. False
    // when no pipe could be made (said on stderr); the signals keep their default actions.
    static bool InstallHandlers();
    // Gives the signals their default actions back.
    ~ShutdownRequests() override;

    // Runs on the window thread; `why` names the signal ("SIGTERM", ...) or "quit".
    std::function<void(const char* why)> OnRequest;

    // False when the pipe or the handlers could not be set up (said on stderr).
    bool IsWatching() const { return m_notifier != nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ReadSignals();

    QSocketNotifier* m_notifier = nullptr;
};
