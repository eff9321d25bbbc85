// Requests to end the program from outside its windows: each signal and the quit event
// become one call on the window thread.

#include "ShutdownRequests.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "app_shutdown_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = QCoreApplication::instance() ? nullptr : new QApplication(argc, argv);
    (void)app;
}

void pumpUntil(const std::function<bool()>& done, int ms = 2000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(ShutdownRequests, EachSignalBecomesOneCallOnTheWindowThread)
{
    ensureApplication();
    for (int number : {SIGTERM, SIGINT, SIGHUP}) {
        ShutdownRequests requests;
        ASSERT_TRUE(requests.IsWatching());
        std::vector<std::string> calls;
        requests.OnRequest = [&](const char* why) { calls.emplace_back(why); };
        ASSERT_EQ(kill(getpid(), number), 0);  // the process lives on: the handler took it
        pumpUntil([&] { return !calls.empty(); });
        ASSERT_EQ(calls.size(), 1u) << number;
        EXPECT_EQ(calls[0], number == SIGTERM ? "SIGTERM" : number == SIGINT ? "SIGINT" : "SIGHUP");
    }
}

TEST(ShutdownRequests, ASignalDuringStartUpWaitsForTheEventLoop)
{
    ensureApplication();
    ASSERT_TRUE(ShutdownRequests::InstallHandlers());
    ASSERT_EQ(kill(getpid(), SIGTERM), 0);  // before the watcher exists: the process lives on
    ShutdownRequests requests;
    std::vector<std::string> calls;
    requests.OnRequest = [&](const char* why) { calls.emplace_back(why); };
    pumpUntil([&] { return !calls.empty(); });
    EXPECT_EQ(calls, std::vector<std::string>{"SIGTERM"});
}

TEST(ShutdownRequests, AQuitOfTheApplicationBecomesACallAndTheLoopRunsOn)
{
    ensureApplication();
    ShutdownRequests requests;
    std::vector<std::string> calls;
    requests.OnRequest = [&](const char* why) {
        calls.emplace_back(why);
        QCoreApplication::exit(5);  // the program's own close ends the loop
    };
    QTimer::singleShot(10, [] { QCoreApplication::quit(); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(9); });
    watchdog.start(3000);
    EXPECT_EQ(QCoreApplication::exec(), 5);
    EXPECT_EQ(calls, std::vector<std::string>{"quit"});
}

TEST(ShutdownRequests, ClosingTheOnlyDialogIsNoRequest)
{
    ensureApplication();
    ShutdownRequests requests;
    std::vector<std::string> calls;
    requests.OnRequest = [&](const char* why) { calls.emplace_back(why); };
    QDialog dialog;  // the player and the playlist are tool windows: this is the only "window"
    dialog.show();
    // Qt quits on the last window only from inside its event loop.
    QTimer::singleShot(20, &dialog, [&] { dialog.close(); });
    QTimer::singleShot(400, [] { QCoreApplication::exit(0); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(calls.empty());
}

TEST(ShutdownRequests, ASecondSignalEndsAProgramThatDidNotAnswerTheFirst)
{
    ensureApplication();
    const pid_t child = fork();
    if (child == 0) {
        ShutdownRequests requests;  // never served: the window thread is stuck
        kill(getpid(), SIGTERM);
        kill(getpid(), SIGTERM);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}

TEST(ShutdownRequests, AfterItGoesTheSignalsHaveTheirDefaultActionsBack)
{
    ensureApplication();
    { ShutdownRequests requests; }
    struct sigaction current {};
    sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

} // namespace
