#pragma once
// One running copy per user. `CMain::CheckRunningInstance` looks for a running copy at a
// local socket named from the player window's title and the user id, in the user's own
// runtime folder; when it finds one it hands over the message 1025 and the new process
// ends. When it finds none it binds the socket itself, under a lock, so that of two
// copies started together exactly one keeps running; `HandOverServer` then listens on
// it. A socket left behind by a crashed copy answers no connection and is replaced.
// A second start may carry paths from its command line: they follow the hand-over in
// the same connection (the format is in HandOverMessage.h).

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "HandOverMessage.h"

// The socket's path for this user, or empty when no private folder could be found.
QString HandOverSocketPath();

// Sends the hand-over, with `paths` when there are any, to the copy listening at
// `socketPath`, one message per connection, and waits (at most `timeoutMs` for each)
// until that copy has read it and closed. False when no copy answered the first
// connection. Any thread; no Qt event loop needed.
bool SendHandOver(const QByteArray& socketPath, const QStringList& paths, int timeoutMs = 2000);

// Listens on the socket `CheckRunningInstance` bound. Each connection from the same user
// may carry one message: the line "1025", possibly followed by a block of paths.
// Anything else, anything from another user, and anything longer or slower than a
// hand-over can be is dropped.
//
// The connections are accepted, checked, read and parsed on a thread of its own
// ("sorvel-handover"), which sleeps in poll while nobody calls: the window thread only
// receives each whole message, through a queued call. Created and destroyed on the
// window thread; OnMessage and OnPaths run there.
class HandOverServer : public QObject {
    Q_OBJECT
public:
    // Takes over the listening socket descriptor (-1: the server stays deaf).
    explicit HandOverServer(int listeningSocket, QObject* parent = nullptr);
    // Ends the listener, closes the socket and removes its file.
    ~HandOverServer() override;

    bool IsListening() const { return m_listening >= 0; }

    // Runs for every hand-over message; the argument is the message number.
    std::function<void(int message)> OnMessage;
    // Runs after OnMessage for a message that carried a whole block of paths: absolute
    // paths, in the sender's order; `play` for the sender's first block.
    std::function<void(const QStringList& paths, bool play)> OnPaths;

    // The longest message taken, in bytes.
    static constexpr int MaxMessageBytes = handover::MaxMessageBytes;

private slots:
    // Window thread: hands what the listener took to OnMessage and OnPaths, in order.
    void deliver();

private:
    struct Delivery {
        bool HasPaths = false;
        QStringList Paths;
        bool Play = false;
    };
    void listen();
    // Listener: queues a delivery; the window thread gets it through a queued call of a
    // slot without arguments, so what the listener made is read only under m_lock.
    void post(Delivery delivery);

    int m_listening = -1;
    int m_wake[2] = {-1, -1};  // written to end the listener
    QString m_path;
    std::mutex m_lock;  // guards m_deliveries
    std::deque<Delivery> m_deliveries;
    std::thread m_listener;
};
