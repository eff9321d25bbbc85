#pragma once
// One running copy per user. `CMain::CheckRunningInstance` looks for a running copy at a
// local socket named from the player window's title and the user id, in the user's own
// runtime folder; when it finds one it hands over the message 1025 and the new process
// ends. When it finds none it binds the socket itself, under a lock, so that of two
// copies started together exactly one keeps running; `HandOverServer` then listens on
// it. A socket left behind by a crashed copy answers no connection and is replaced.

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

// The socket's path for this user, or empty when no private folder could be found.
QString HandOverSocketPath();

// Listens on the socket `CheckRunningInstance` bound. Each connection from the same user
// may carry one message: the line "1025". Anything else, anything from another user,
// and anything longer or slower than a hand-over can be is dropped. Window thread.
class HandOverServer : public QObject {
    Q_OBJECT
public:
    // Takes over the listening socket descriptor (-1: the server stays deaf).
    explicit HandOverServer(int listeningSocket, QObject* parent = nullptr);
    ~HandOverServer() override;

    bool IsListening() const;

    // Runs for every hand-over message; the argument is the message number.
    std::function<void(int message)> OnMessage;

    // The longest message taken, in bytes.
    static constexpr int MaxMessageBytes = 64 * 1024;

private:
    void Accept();
    void Read(QLocalSocket* socket);

    QLocalServer* m_server;
    QString m_path;
};
