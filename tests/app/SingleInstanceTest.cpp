// One running copy: the look-up, the hand-over, a socket left by a crashed copy, and
// what the running copy does with messages that are not a hand-over.

#include "support/QtApplication.h"
#include "Cmain.h"
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureQtApplication();
        ASSERT_TRUE(runtime_.isValid());
        chmod(QFile::encodeName(runtime_.path()).constData(), 0700);
        saved_ = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime_.path()));
    }
    void TearDown() override
    {
        server_.reset();
        close(App.TakeHandOverSocket());
        qputenv("XDG_RUNTIME_DIR", saved_);
    }
    // Starts "the running copy": the look-up finds nothing and the server listens.
    void StartFirstCopy()
    {
        ASSERT_FALSE(App.CheckRunningInstance());
        server_ = std::make_unique<HandOverServer>(App.TakeHandOverSocket());
        ASSERT_TRUE(server_->IsListening());
        server_->OnMessage = [this](int message) { messages_.push_back(message); };
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

    QTemporaryDir runtime_;
    QByteArray saved_;
    std::unique_ptr<HandOverServer> server_;
    std::vector<int> messages_;
};

TEST_F(SingleInstance, SecondStartHandsOverAndTheSocketIsPrivate)
{
    StartFirstCopy();
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(HandOverSocketPath()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_TRUE(HandOverSocketPath().startsWith(runtime_.path()));

    EXPECT_TRUE(App.CheckRunningInstance());
    EXPECT_EQ(App.TakeHandOverSocket(), -1);
    Pump(200);
    EXPECT_EQ(messages_, std::vector<int>{1025});

    // The server going away takes its socket with it: the next start runs.
    server_.reset();
    EXPECT_FALSE(QFile::exists(HandOverSocketPath()));
}

TEST_F(SingleInstance, SocketOfACrashedCopyDoesNotBlockTheNextStart)
{
    ASSERT_FALSE(App.CheckRunningInstance());
    close(App.TakeHandOverSocket());  // the copy died without tidying up
    ASSERT_TRUE(QFile::exists(HandOverSocketPath()));
    StartFirstCopy();
    EXPECT_TRUE(App.CheckRunningInstance());
    Pump(200);
    EXPECT_EQ(messages_, std::vector<int>{1025});
}

TEST_F(SingleInstance, AnythingButAHandOverIsDropped)
{
    StartFirstCopy();
    SendRaw("1026\n");
    SendRaw(QByteArray(HandOverServer::MaxMessageBytes + 10, 'x'));
    SendRaw(QByteArray("\0\xff\n", 3));
    SendRaw("1025");  // never ends its line
    Pump(100);
    EXPECT_TRUE(messages_.empty());
    SendRaw("1025\n");
    Pump(100);
    EXPECT_EQ(messages_, std::vector<int>{1025});
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
    EXPECT_TRUE(messages_.empty());
}

} // namespace
