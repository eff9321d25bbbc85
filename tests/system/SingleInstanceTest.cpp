// One running copy: the look-up, the hand-over, a socket left by a crashed copy, and
// what the running copy does with messages that are not a hand-over.

#include "support/QtApplication.h"
#include "Cmain.h"
#include "FileName.h"
#include "HandOverMessage.h"
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The bytes of a literal without its terminating NUL (messages hold NULs of their own).
template <std::size_t N>
QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApplication();
        ASSERT_TRUE(m_runtime.isValid());
        chmod(QFile::encodeName(m_runtime.path()).constData(), 0700);
        m_saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }
    void TearDown() override
    {
        m_server.reset();
        close(m_app.TakeHandOverSocket());
        qputenv("XDG_RUNTIME_DIR", m_saved);
    }
    // Starts "the running copy": the look-up finds nothing and the server listens.
    void StartFirstCopy()
    {
        ASSERT_FALSE(m_app.CheckRunningInstance());
        m_server = std::make_unique<HandOverServer>(m_app.TakeHandOverSocket());
        ASSERT_TRUE(m_server->IsListening());
        m_server->OnMessage = [this](int message) { m_messages.push_back(message); };
        m_server->OnPaths = [this](const QStringList& paths, bool play) { m_handed.push_back({paths, play}); };
    }
    void Pump(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    void SendRaw(const QByteArray& bytes)
    {
        QLocalSocket socket;
        socket.connectToServer(HandOverSocketPath());
        ASSERT_TRUE(socket.waitForConnected(1000));
        socket.write(bytes);
        socket.waitForBytesWritten(1000);
        Pump(50);
        socket.disconnectFromServer();
    }

    QTemporaryDir m_runtime;
    QByteArray m_saved;
    CMain m_app;
    std::unique_ptr<HandOverServer> m_server;
    std::vector<int> m_messages;
    std::vector<std::pair<QStringList, bool>> m_handed;
};

TEST_F(SingleInstance, SecondStartHandsOverAndTheSocketIsPrivate)
{
    StartFirstCopy();
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(HandOverSocketPath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_TRUE(HandOverSocketPath().startsWith(m_runtime.path()));

    EXPECT_TRUE(m_app.CheckRunningInstance());
    EXPECT_EQ(m_app.TakeHandOverSocket(), -1);
    Pump(200);
    EXPECT_EQ(m_messages, std::vector<int>{1025});

    // The server going away takes its socket with it: the next start runs.
    m_server.reset();
    EXPECT_FALSE(QFile::exists(HandOverSocketPath()));
}

TEST_F(SingleInstance, SocketOfACrashedCopyDoesNotBlockTheNextStart)
{
    ASSERT_FALSE(m_app.CheckRunningInstance());
    close(m_app.TakeHandOverSocket());  // the copy died without tidying up
    ASSERT_TRUE(QFile::exists(HandOverSocketPath()));
    StartFirstCopy();
    EXPECT_TRUE(m_app.CheckRunningInstance());
    Pump(200);
    EXPECT_EQ(m_messages, std::vector<int>{1025});
}

TEST_F(SingleInstance, AnythingButAHandOverIsDropped)
{
    StartFirstCopy();
    SendRaw("1026\n");
    SendRaw(QByteArray(HandOverServer::MaxMessageBytes + 10, 'x'));
    SendRaw(raw("\0\xff\n"));
    SendRaw("1025");  // never ends its line
    Pump(100);
    EXPECT_TRUE(m_messages.empty());
    SendRaw("1025\n");
    Pump(100);
    EXPECT_EQ(m_messages, std::vector<int>{1025});
}

TEST_F(SingleInstance, AnotherUserCannotReachTheSocket)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to become another user";
    StartFirstCopy();
    const QByteArray path = QFile::encodeName(HandOverSocketPath());
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(3);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.constData(), sizeof(address.sun_path) - 1);
        const bool reached = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        _exit(reached ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    Pump(100);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(SingleInstance, PathsFollowTheHandOverAndTheFirstBlockPlays)
{
    StartFirstCopy();
    const QStringList paths{"/music/바다.mp3", "/music/folder", "/music/with\nline break.ogg"};
    // The second start runs without an event loop: the running copy is served meanwhile.
    std::atomic<bool> done{false};
    std::thread second([&] {
        EXPECT_TRUE(m_app.CheckRunningInstance(paths));
        done = true;
    });
    while (!done)
        Pump(20);
    second.join();
    // The listener has taken the message when the sender is done; the window thread
    // gets it with the next turn of its loop.
    Pump(100);
    EXPECT_EQ(m_messages, std::vector<int>{1025});
    ASSERT_EQ(m_handed.size(), 1u);
    EXPECT_EQ(m_handed[0].first, paths);
    EXPECT_TRUE(m_handed[0].second);
}

TEST_F(SingleInstance, ManyPathsTravelInSeveralMessagesInOrder)
{
    StartFirstCopy();
    QStringList paths;
    for (int i = 0; i < 3000; ++i)
        paths << QStringLiteral("/a/rather/long/folder/name/for/the/songs/of/some/album/track-%1.mp3").arg(i);
    std::atomic<bool> done{false};
    std::thread second([&] {
        EXPECT_TRUE(SendHandOver(QFile::encodeName(HandOverSocketPath()), paths));
        done = true;
    });
    while (!done)
        Pump(20);
    second.join();
    Pump(50);
    ASSERT_GE(m_handed.size(), 3u);  // over 200 KiB: more than one 64 KiB message
    QStringList received;
    for (std::size_t i = 0; i < m_handed.size(); ++i) {
        EXPECT_EQ(m_handed[i].second, i == 0) << i;
        received += m_handed[i].first;
    }
    EXPECT_EQ(received, paths);
    EXPECT_EQ(m_messages.size(), m_handed.size());
}

TEST_F(SingleInstance, BrokenPathBlocksAreDroppedWholeAfterTheHandOver)
{
    StartFirstCopy();
    const QByteArray bad[] = {
        raw("1025\nopen 2\n/a.mp3\0"),           // one path short
        raw("1025\nopen 1\nrelative.mp3\0"),      // not absolute
        raw("1025\nopen 1\n/a.mp3\0/b.mp3\0"),    // one path too many
        QByteArray("1025\nopen 0\n"),                          // no paths announced
        raw("1025\nopen -1\n/a\0"),
        raw("1025\nplay 1\n/a\0"),                  // unknown block
        raw("1025\nopen 1\n\0"),                     // empty path
        QByteArray("1025\nopen 1\n/") + QByteArray(5000, 'x') + raw("\0"),  // too long
    };
    for (const QByteArray& message : bad)
        SendRaw(message);
    Pump(100);
    EXPECT_EQ(m_messages.size(), std::size(bad));  // each was a hand-over all the same
    EXPECT_TRUE(m_handed.empty());
}

TEST_F(SingleInstance, APeerThatStopsMidMessageDoesNotHoldTheServer)
{
    StartFirstCopy();
    QLocalSocket stalled;
    stalled.connectToServer(HandOverSocketPath());
    ASSERT_TRUE(stalled.waitForConnected(1000));
    stalled.write("1025\nopen 1\n/half");
    stalled.flush();
    Pump(50);
    // Others are served meanwhile, and the stalled one is cut off after its time.
    SendRaw(raw("1025\nadd 1\n/whole.mp3\0"));
    Pump(50);
    ASSERT_EQ(m_handed.size(), 1u);
    EXPECT_EQ(m_handed[0].first, QStringList{"/whole.mp3"});
    EXPECT_FALSE(m_handed[0].second);
    QElapsedTimer clock;
    clock.start();
    while (stalled.state() == QLocalSocket::ConnectedState && clock.elapsed() < 4000) {
        Pump(50);
        stalled.waitForReadyRead(10);
    }
    EXPECT_NE(stalled.state(), QLocalSocket::ConnectedState);
    EXPECT_EQ(m_handed.size(), 1u);
}

TEST(HandOverMessages, NoPathsIsThePlainHandOverByteForByte)
{
    const QList<QByteArray> messages = handover::EncodeMessages({});
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], QByteArray("1025\n"));
}

TEST(HandOverMessages, PathsThatNoMessageCanCarryAreLeftOutAndNamed)
{
    QStringList skipped;
    const QString longPath = "/" + QString(5000, 'x');
    const QList<QByteArray> messages = handover::EncodeMessages({"relative.mp3", "", longPath, "/ok.mp3"}, &skipped);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], raw("1025\nopen 1\n/ok.mp3\0"));
    EXPECT_EQ(skipped, QStringList({"relative.mp3", "", longPath}));
    // Nothing usable at all: the plain hand-over still brings the copy forward.
    EXPECT_EQ(handover::EncodeMessages({"relative.mp3"}), QList<QByteArray>{"1025\n"});
}

TEST(HandOverMessages, TheReaderTakesAMessageInAnyPiecesAndNothingAfterIt)
{
    const QByteArray message = handover::EncodeMessages({"/a b.mp3", "/노래/c.ogg"}).first();
    handover::Reader reader;
    for (char byte : message)
        reader.Feed(QByteArray(1, byte));
    ASSERT_EQ(reader.Current(), handover::Reader::State::Complete);
    EXPECT_EQ(reader.Paths(), QStringList({"/a b.mp3", "/노래/c.ogg"}));
    EXPECT_TRUE(reader.Play());
    EXPECT_EQ(reader.Feed("x"), handover::Reader::State::Bad);

    handover::Reader plain;
    EXPECT_EQ(plain.Feed("10"), handover::Reader::State::NeedMore);
    EXPECT_EQ(plain.Feed("25\n"), handover::Reader::State::HandedOver);
    EXPECT_EQ(plain.Finish(), handover::Reader::State::HandedOver);

    handover::Reader header;
    header.Feed("1025\nopen 1\n");
    EXPECT_EQ(header.Finish(), handover::Reader::State::Bad);  // the announced path never came
    EXPECT_TRUE(header.HandOver());
    EXPECT_TRUE(header.Paths().isEmpty());

    handover::Reader other;
    EXPECT_EQ(other.Feed("1026\n"), handover::Reader::State::Bad);
    handover::Reader endless;
    EXPECT_EQ(endless.Feed("10250"), handover::Reader::State::Bad);
    handover::Reader huge;
    huge.Feed("1025\nadd 1\n/");
    EXPECT_EQ(huge.Feed(QByteArray(handover::MaxMessageBytes, 'x')), handover::Reader::State::Bad);
}

// Names are bytes: one that is not UTF-8, or holds a line break, reaches the running
// copy as the same bytes.
TEST(HandOverMessages, NamesTravelAsTheirBytes)
{
    const QList<QByteArray> names{QByteArray("/m/caf\xE9\xFF.mp3"), QByteArray("/m/two\nlines.mp3"),
                                  QStringLiteral("/음악/창.mp3").toUtf8()};
    QStringList paths;
    for (const QByteArray& name : names)
        paths.append(FileNameFromBytes(name));
    handover::Reader reader;
    for (const QByteArray& message : handover::EncodeMessages(paths))
        reader.Feed(message);
    ASSERT_EQ(reader.Finish(), handover::Reader::State::Complete);
    ASSERT_EQ(reader.Paths().size(), names.size());
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(FileNameBytes(reader.Paths().at(i)), names.at(i)) << i;
}

} // namespace
