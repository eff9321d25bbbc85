#include "SingleInstance.h"

#include "Cmain.h"
#include "HandOverMessage.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The title a second start looks for; the player window carries it.
const char kPlayerTitle[] = "마루엘의 뮤직플레이어 Sorvel";

// A folder only this user can enter: the session's runtime folder, else one of our own
// under /tmp. Empty when neither can be trusted.
QByteArray privateFolder()
{
    const uid_t uid = getuid();
    auto trusted = [uid](const QByteArray& folder) {
        struct stat info {};
        return lstat(folder.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid
            && (info.st_mode & 077) == 0;
    };
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && trusted(runtime))
        return runtime;
    const QByteArray fallback = "/tmp/sorvel-" + QByteArray::number(uid);
    mkdir(fallback.constData(), 0700);
    return trusted(fallback) ? fallback : QByteArray();
}

sockaddr_un socketAddress(const QByteArray& path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), std::min<std::size_t>(path.size(), sizeof(address.sun_path) - 1));
    return address;
}

// A connection to a running copy, or -1.
int connectTo(const QByteArray& path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const sockaddr_un address = socketAddress(path);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const char* bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = send(fd, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        bytes += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// Waits until the peer closes the connection (it has read the whole message), at most
// `timeoutMs`; whatever it sends meanwhile is thrown away.
void waitForClose(int fd, int timeoutMs)
{
    pollfd watch{fd, POLLIN, 0};
    char sink[256];
    int left = timeoutMs;
    while (left > 0) {
        const int ready = poll(&watch, 1, std::min(left, 100));
        if (ready < 0 && errno != EINTR)
            return;
        if (ready > 0) {
            const ssize_t got = recv(fd, sink, sizeof(sink), 0);
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN))
                return;
        }
        left -= 100;
    }
}

int bindListening(const QByteArray& path)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const sockaddr_un address = socketAddress(path);
    unlink(path.constData());  // a copy that answered no connection left it behind
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 || chmod(path.constData(), 0600) != 0
        || listen(fd, 8) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

QString HandOverSocketPath()
{
    const QByteArray folder = privateFolder();
    if (folder.isEmpty())
        return {};
    const QByteArray title = QCryptographicHash::hash(QByteArray(kPlayerTitle), QCryptographicHash::Sha1).toHex().left(12);
    const QByteArray path = folder + "/sorvel-" + title + "-" + QByteArray::number(getuid()) + ".sock";
    if (static_cast<std::size_t>(path.size()) >= sizeof(sockaddr_un::sun_path))
        return {};
    return QString::fromLocal8Bit(path);
}

bool SendHandOver(const QByteArray& socketPath, const QStringList& paths, int timeoutMs)
{
    QStringList skipped;
    const QList<QByteArray> messages = handover::EncodeMessages(paths, &skipped);
    for (const QString& path : skipped)
        std::fprintf(stderr, "sorvel: left out, not a path a running copy can take: %s\n", qPrintable(path));
    bool answered = false;
    for (const QByteArray& message : messages) {
        const int peer = connectTo(socketPath);
        if (peer < 0)
            break;
        const bool sent = sendAll(peer, message.constData(), static_cast<std::size_t>(message.size()));
        if (sent) {
            shutdown(peer, SHUT_WR);  // the end of the message
            waitForClose(peer, timeoutMs);
        }
        close(peer);
        answered = answered || sent;
        if (!sent)
            break;
    }
    return answered;
}

bool CMain::CheckRunningInstance(const QStringList& paths)
{
    const QByteArray path = HandOverSocketPath().toLocal8Bit();
    if (path.isEmpty()) {
        std::fprintf(stderr, "sorvel: no private folder for the single-instance socket; "
                             "another copy will not be found\n");
        return false;
    }
    // Held from the look-up to the bind: of two copies started together, the second
    // finds the first one's socket.
    const int lock = open((path + ".lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock >= 0)
        flock(lock, LOCK_EX);
    const bool found = SendHandOver(path, paths);
    if (!found) {
        if (m_handOverSocket >= 0)
            close(m_handOverSocket);
        m_handOverSocket = bindListening(path);
    }
    if (lock >= 0)
        close(lock);  // releases the lock
    return found;
}

int CMain::TakeHandOverSocket()
{
    const int fd = m_handOverSocket;
    m_handOverSocket = -1;
    return fd;
}

HandOverServer::HandOverServer(int listeningSocket, QObject* parent)
    : QObject(parent), m_server(new QLocalServer(this)), m_path(HandOverSocketPath())
{
    if (listeningSocket >= 0 && !m_server->listen(listeningSocket))
        close(listeningSocket);
    connect(m_server, &QLocalServer::newConnection, this, &HandOverServer::Accept);
}

HandOverServer::~HandOverServer()
{
    // The socket's file goes with the server, so the next start does not meet it.
    if (m_server->isListening()) {
        m_server->close();
        if (!m_path.isEmpty())
            unlink(QFile::encodeName(m_path).constData());
    }
}

bool HandOverServer::IsListening() const
{
    return m_server->isListening();
}

void HandOverServer::Accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        ucred peer {};
        socklen_t size = sizeof(peer);
        if (getsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0
            || peer.uid != getuid()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // A hand-over is a few bytes sent at once; a peer that dawdles is dropped.
        QTimer::singleShot(2000, socket, [socket] { socket->abort(); });
        auto reader = std::make_shared<handover::Reader>();
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, reader] { Read(socket, *reader); });
    }
}

void HandOverServer::Read(QLocalSocket* socket, handover::Reader& reader)
{
    using State = handover::Reader::State;
    const bool toldBefore = reader.HandOver();
    const State state = reader.Feed(socket->read(MaxMessageBytes + 1));
    QPointer<QLocalSocket> alive(socket);
    // The hand-over is acted on as soon as its line is in; paths follow when whole.
    if (reader.HandOver() && !toldBefore && OnMessage)
        OnMessage(1025);
    if (state == State::Bad) {
        if (alive)
            alive->abort();
        return;
    }
    if (state == State::Complete) {
        if (OnPaths)
            OnPaths(reader.Paths(), reader.Play());
        if (alive)
            alive->abort();  // tells the sender the message was taken
    }
}
