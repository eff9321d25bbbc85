#include "ShutdownRequests.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// Written by the handler, read by the window thread; -1 while nobody watches.
volatile sig_atomic_t g_writeEnd = -1;
int g_readEnd = -1;

void onSignal(int number)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (g_writeEnd >= 0)
        (void)!write(g_writeEnd, &byte, 1);
    // The next one is not asked politely.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(number, &fallback, nullptr);
    errno = saved;
}

const char* signalName(int number)
{
    switch (number) {
    case SIGTERM:
        return "SIGTERM";
    case SIGINT:
        return "SIGINT";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal";
    }
}

} // namespace

bool ShutdownRequests::InstallHandlers()
{
    if (g_writeEnd >= 0)
        return true;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("sorvel: no pipe for signals; SIGTERM will end the program without saving");
        return false;
    }
    g_readEnd = ends[0];
    g_writeEnd = ends[1];
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : kSignals)
        sigaction(number, &action, nullptr);
    return true;
}

ShutdownRequests::ShutdownRequests(QObject* parent) : QObject(parent)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
    // The two windows are tool windows, which Qt does not count: closing a dialog would
    // look like closing the last window, and its automatic quit would become a request
    // to end the program. The program ends when its player window closes, and on the
    // requests watched here, only.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::setQuitOnLastWindowClosed(false);
    if (!InstallHandlers())
        return;
    m_notifier = new QSocketNotifier(g_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ShutdownRequests::ReadSignals);
}

ShutdownRequests::~ShutdownRequests()
{
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    for (int number : kSignals)
        sigaction(number, &fallback, nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    if (g_writeEnd >= 0) {
        const int writeEnd = g_writeEnd;
        g_writeEnd = -1;
        close(writeEnd);
        close(g_readEnd);
        g_readEnd = -1;
    }
}

void ShutdownRequests::ReadSignals()
{
    unsigned char numbers[16];
    const ssize_t got = read(g_readEnd, numbers, sizeof(numbers));
    for (ssize_t i = 0; i < got; ++i)
        if (OnRequest)
            OnRequest(signalName(numbers[i]));
}

bool ShutdownRequests::eventFilter(QObject* watched, QEvent* event)
{
    // Qt's own answer to a quit asks every window to close; the playlist window answers
    // by hiding, which would cancel the quit. The program closes its own way instead.
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance() && OnRequest) {
        OnRequest("quit");
        return true;
    }
    return QObject::eventFilter(watched, event);
}
