#include "SingleInstance.h"

#include "Cmain.h"
#include "HandOverMessage.h"
#include "ThreadName.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMetaObject>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <vector>
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
    : QObject(parent), m_path(HandOverSocketPath())
{
    if (listeningSocket < 0)
        return;
    // Room for many second starts at once; they wait in the queue, not in connect.
    if (::listen(listeningSocket, 256) != 0 || pipe2(m_wake, O_CLOEXEC) != 0) {
        close(listeningSocket);
        return;
    }
    m_listening = listeningSocket;
    m_listener = std::thread([this] { listen(); });
}

HandOverServer::~HandOverServer()
{
    if (m_listening < 0)
        return;
    const char stop = 1;
    while (write(m_wake[1], &stop, 1) < 0 && errno == EINTR) {
    }
    m_listener.join();
    close(m_wake[0]);
    close(m_wake[1]);
    close(m_listening);
    // The socket's file goes with the server, so the next start does not meet it.
    if (!m_path.isEmpty())
        unlink(QFile::encodeName(m_path).constData());
}

void HandOverServer::post(Delivery delivery)
{
    bool first = false;
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_deliveries.push_back(std::move(delivery));
        first = m_deliveries.size() == 1;
    }
    if (first)
        QMetaObject::invokeMethod(this, "deliver", Qt::QueuedConnection);
}

void HandOverServer::deliver()
{
    for (;;) {
        Delivery delivery;
        {
            std::lock_guard<std::mutex> hold(m_lock);
            if (m_deliveries.empty())
                return;
            delivery = std::move(m_deliveries.front());
            m_deliveries.pop_front();
        }
        if (!delivery.HasPaths) {
            if (OnMessage)
                OnMessage(1025);
        } else if (OnPaths) {
            OnPaths(delivery.Paths, delivery.Play);
        }
    }
}

namespace {

// A hand-over is a few bytes sent at once; a peer that dawdles is dropped.
constexpr int kPeerMs = 2000;
// Connections read at the same time; more wait in the listening queue.
constexpr std::size_t kMaxPeers = 64;

struct Peer {
    int fd = -1;
    std::chrono::steady_clock::time_point deadline;
    handover::Reader reader;
};

bool fromThisUser(int fd)
{
    ucred peer {};
    socklen_t size = sizeof(peer);
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
}

} // namespace

void HandOverServer::listen()
{
    NameThisThread("sorvel-handover");
    using Clock = std::chrono::steady_clock;
    std::vector<Peer> peers;
    // A message comes in pieces anyway; the reader gathers them. (A buffer of a whole
    // message, zeroed, kept 64 KiB of this thread resident for the program's life.)
    std::array<char, 4096> buffer;
    for (;;) {
        std::vector<pollfd> watch{{m_wake[0], POLLIN, 0}};
        if (peers.size() < kMaxPeers)
            watch.push_back({m_listening, POLLIN, 0});
        const std::size_t first = watch.size();
        int timeoutMs = -1;  // nobody calling: sleep until somebody does
        const Clock::time_point now = Clock::now();
        for (const Peer& peer : peers) {
            watch.push_back({peer.fd, POLLIN, 0});
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(peer.deadline - now).count();
            const int leftMs = static_cast<int>(std::max<long long>(0, left)) + 1;
            timeoutMs = timeoutMs < 0 ? leftMs : std::min(timeoutMs, leftMs);
        }
        const int ready = poll(watch.data(), watch.size(), timeoutMs);
        if (ready < 0 && errno != EINTR)
            break;
        if (watch[0].revents != 0)
            break;
        const std::size_t polled = peers.size();  // a peer accepted now is read next time
        if (first == 2 && (watch[1].revents & POLLIN)) {
            const int fd = accept4(m_listening, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd >= 0) {
                if (fromThisUser(fd))
                    peers.push_back({fd, Clock::now() + std::chrono::milliseconds(kPeerMs), {}});
                else
                    close(fd);
            }
        }
        std::vector<Peer> open;
        for (std::size_t i = 0; i < peers.size(); ++i) {
            Peer& peer = peers[i];
            const short events = i < polled ? watch[first + i].revents : 0;
            bool done = Clock::now() >= peer.deadline;
            if (!done && events != 0) {
                const bool toldBefore = peer.reader.HandOver();
                const ssize_t got = recv(peer.fd, buffer.data(), buffer.size(), 0);
                using State = handover::Reader::State;
                State state = peer.reader.Current();
                if (got > 0)
                    state = peer.reader.Feed(QByteArray(buffer.data(), static_cast<qsizetype>(got)));
                else if (got == 0 || (errno != EAGAIN && errno != EINTR))
                    state = peer.reader.Finish(), done = true;
                // The hand-over is acted on as soon as its line is in; paths follow when whole.
                if (peer.reader.HandOver() && !toldBefore)
                    post({});
                if (state == State::Complete) {
                    post({true, peer.reader.Paths(), peer.reader.Play()});
                    done = true;  // the close tells the sender the message was taken
                }
                if (state == State::Bad)
                    done = true;
            }
            if (done)
                close(peer.fd);
            else
                open.push_back(std::move(peer));
        }
        peers = std::move(open);
    }
    for (const Peer& peer : peers)
        close(peer.fd);
}
