// The media controls on a private session bus, driven as a desktop applet drives them,
// with a double of the player behind them.

#include "Mpris.h"
#include "MusicFormats.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <sys/prctl.h>
#include <unistd.h>

namespace {

// The media controls advertise the formats the desktop entry offers the program for:
// both lists come from the music-file table.
TEST(MprisMimeTypes, AreTheDesktopEntrysTypes)
{
    QFile entry(QStringLiteral(SORVEL_DESKTOP_ENTRY));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    QStringList types;
    for (const QByteArray& line : entry.readAll().split('\n'))
        if (line.startsWith("MimeType="))
            types = QString::fromUtf8(line.mid(9)).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    EXPECT_EQ(types, MusicMimeTypes());
    EXPECT_EQ(types.size(), 29);
}

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "app_mpris_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
}

// Tells the service of every change it makes, as the program's transport does.
class FakeMedia : public IMediaControl {
public:
    std::function<void()> changed;
    std::function<void(qint64)> seeked;

    TransportState status = TransportState::Stopped;
    QString path;
    qint64 positionMs = 0;
    qint64 lengthMs = 0;
    bool canSeek = false;
    bool canGoPrevious = false;
    double volume = 0.5;
    std::map<QString, TrackTags> tags;
    mutable int tagReads = 0;
    std::vector<QString> actions;
    std::vector<std::pair<QStringList, bool>> opened;

private:
    mutable QString m_numberedPath;
    mutable quint64 m_songNumber = 0;

public:

    TransportState Status() const override { return status; }
    QString TrackPath() const override { return path; }
    // A new song whenever the path changes, as the tests set it.
    quint64 SongNumber() const override
    {
        if (path != m_numberedPath) {
            m_numberedPath = path;
            ++m_songNumber;
        }
        return m_songNumber;
    }
    qint64 PositionMs() const override { return positionMs; }
    qint64 LengthMs() const override { return lengthMs; }
    bool CanSeek() const override { return canSeek; }
    double Volume() const override { return volume; }
    TrackTags Tags(const QString& file) const override
    {
        ++tagReads;
        const auto found = tags.find(file);
        return found == tags.end() ? TrackTags{} : found->second;
    }
    void PlayPause() override
    {
        actions.push_back("PlayPause");
        status = status == TransportState::Playing ? TransportState::Paused : TransportState::Playing;
        tell();
    }
    void Play() override
    {
        actions.push_back("Play");
        status = TransportState::Playing;
        tell();
    }
    void Pause() override
    {
        actions.push_back("Pause");
        if (status == TransportState::Playing)
            status = TransportState::Paused;
        tell();
    }
    void Stop() override
    {
        actions.push_back("Stop");
        status = TransportState::Stopped;
        tell();
    }
    void Next() override { actions.push_back("Next"); }
    void Previous() override { actions.push_back("Previous"); }
    bool CanGoPrevious() const override { return canGoPrevious; }
    void SeekTo(qint64 ms) override
    {
        actions.push_back(QStringLiteral("SeekTo %1").arg(ms));
        positionMs = ms;
        if (seeked)
            seeked(ms);
    }
    void SetVolume(double value) override
    {
        volume = value;
        tell();
    }
    void tell()
    {
        if (changed)
            changed();
    }
    void OpenPaths(const QStringList& paths, bool play) override { opened.push_back({paths, play}); }
    void Raise() override { actions.push_back("Raise"); }
    void Quit() override { actions.push_back("Quit"); }
};

// A dbus-daemon of our own for the test program, so the tests never meet a desktop's bus.
// It is started on first use and ends with the program: stopped once the tests have run,
// and ended by the kernel should the program die before that.
class PrivateBus : public ::testing::Environment {
public:
    const QString& address()
    {
        if (!m_started) {
            m_started = true;
            start();
        }
        return m_address;
    }
    void TearDown() override
    {
        if (m_daemon.state() == QProcess::NotRunning)
            return;
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000)) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }

private:
    void start()
    {
        m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--nopidfile", "--print-address=1"});
        if (!m_daemon.waitForStarted(5000))
            return;
        QElapsedTimer clock;
        clock.start();
        while (!m_daemon.canReadLine() && clock.elapsed() < 5000)
            m_daemon.waitForReadyRead(100);
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }

    bool m_started = false;
    QString m_address;
    QProcess m_daemon;
};

PrivateBus* const privateBus = static_cast<PrivateBus*>(::testing::AddGlobalTestEnvironment(new PrivateBus));

const QString& busAddress()
{
    return privateBus->address();
}

// Collects the signals the service sends.
class SignalLog : public QObject {
    Q_OBJECT
public:
    std::vector<QVariantMap> changes;   // PropertiesChanged of the player interface
    std::vector<qlonglong> seeks;

public slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList&)
    {
        if (interface == QLatin1String(MprisService::PlayerInterface))
            changes.push_back(changed);
    }
    void seeked(qlonglong position) { seeks.push_back(position); }
};

class Mpris : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApplication();
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_FALSE(busAddress().isEmpty()) << "the private bus did not start";
        static int round = 0;
        ++round;
        m_serviceName = QStringLiteral("service%1").arg(round);
        m_clientName = QStringLiteral("client%1").arg(round);
        m_serviceBus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(busAddress(), m_serviceName));
        m_clientBus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(busAddress(), m_clientName));
        ASSERT_TRUE(m_serviceBus->isConnected());
        service = std::make_unique<MprisService>(media, *m_serviceBus);
        ASSERT_TRUE(service->Register());
        media.changed = [this] { service->Refresh(); };
        media.seeked = [this](qint64 ms) { service->TellSeeked(ms); };
        const QString path = QString::fromLatin1(MprisService::ObjectPath);
        m_clientBus->connect(service->ServiceName(), path, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                             &log, SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        m_clientBus->connect(service->ServiceName(), path, MprisService::PlayerInterface, "Seeked", &log,
                             SLOT(seeked(qlonglong)));
        Pump(20);
    }
    void TearDown() override
    {
        service.reset();
        m_serviceBus.reset();
        m_clientBus.reset();
        QDBusConnection::disconnectFromBus(m_serviceName);
        QDBusConnection::disconnectFromBus(m_clientName);
    }

    static void Pump(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QDBusMessage Call(const char* interface, const char* method, const QVariantList& args = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service->ServiceName(), MprisService::ObjectPath,
                                                              interface, method);
        message.setArguments(args);
        // The service answers on this thread: wait while serving events.
        const QDBusMessage reply = m_clientBus->call(message, QDBus::BlockWithGui, 5000);
        EXPECT_NE(reply.type(), QDBusMessage::ErrorMessage) << method << ": " << reply.errorMessage().toStdString();
        Pump(10);  // let the signals in
        return reply;
    }
    QVariant Get(const char* interface, const char* property)
    {
        const QDBusMessage reply = Call("org.freedesktop.DBus.Properties", "Get", {interface, property});
        if (reply.arguments().isEmpty())
            return {};
        return reply.arguments().first().value<QDBusVariant>().variant();
    }
    void Set(const char* interface, const char* property, const QVariant& value)
    {
        Call("org.freedesktop.DBus.Properties", "Set", {interface, property, QVariant::fromValue(QDBusVariant(value))});
    }
    QVariantMap Metadata()
    {
        return qdbus_cast<QVariantMap>(Get(MprisService::PlayerInterface, "Metadata").value<QDBusArgument>());
    }
    QVariantMap LastChange() const { return log.changes.empty() ? QVariantMap() : log.changes.back(); }

    FakeMedia media;
    SignalLog log;
    std::unique_ptr<MprisService> service;

private:
    QString m_serviceName;
    QString m_clientName;
    std::unique_ptr<QDBusConnection> m_serviceBus;
    std::unique_ptr<QDBusConnection> m_clientBus;
};

const char* Root = MprisService::RootInterface;
const char* Player = MprisService::PlayerInterface;

TEST_F(Mpris, TheRootInterfaceNamesTheProgramAndRaisesAndQuitsIt)
{
    EXPECT_EQ(service->ServiceName(), "org.mpris.MediaPlayer2.sorvel");
    EXPECT_EQ(Get(Root, "Identity").toString(), "Sorvel");
    EXPECT_EQ(Get(Root, "DesktopEntry").toString(), "sorvel");
    EXPECT_TRUE(Get(Root, "CanQuit").toBool());
    EXPECT_TRUE(Get(Root, "CanRaise").toBool());
    EXPECT_FALSE(Get(Root, "HasTrackList").toBool());
    const QStringList types = Get(Root, "SupportedMimeTypes").toStringList();
    EXPECT_EQ(types, MusicMimeTypes());
    for (const char* type : {"audio/mpeg", "audio/flac", "audio/x-opus+ogg", "audio/mp4", "audio/x-ms-wma"})
        EXPECT_TRUE(types.contains(type)) << type;
    Call(Root, "Raise");
    Call(Root, "Quit");
    EXPECT_EQ(media.actions, (std::vector<QString>{"Raise", "Quit"}));
}

TEST_F(Mpris, TransportCallsReachThePlayerAndEachChangeIsSignalled)
{
    EXPECT_EQ(Get(Player, "PlaybackStatus").toString(), "Stopped");
    Call(Player, "PlayPause");
    EXPECT_EQ(LastChange().value("PlaybackStatus").toString(), "Playing");
    Call(Player, "Pause");
    EXPECT_EQ(LastChange().value("PlaybackStatus").toString(), "Paused");
    Call(Player, "Play");
    Call(Player, "Next");
    Call(Player, "Previous");
    Call(Player, "Stop");
    EXPECT_EQ(LastChange().value("PlaybackStatus").toString(), "Stopped");
    EXPECT_EQ(media.actions, (std::vector<QString>{"PlayPause", "Pause", "Play", "Next", "Previous", "Stop"}));
    EXPECT_EQ(log.changes.size(), 4u);  // Next and Previous changed nothing the bus can see
    EXPECT_FALSE(Get(Player, "CanGoPrevious").toBool());
    media.canGoPrevious = true;  // a song to go back to
    media.tell();
    Pump(20);
    EXPECT_TRUE(LastChange().value("CanGoPrevious").toBool());
    EXPECT_TRUE(Get(Player, "CanGoPrevious").toBool());
    EXPECT_TRUE(Get(Player, "CanGoNext").toBool());
    EXPECT_TRUE(Get(Player, "CanControl").toBool());

    // A change made in the window (a click on the strip) is told as it happens.
    media.status = TransportState::Playing;
    media.tell();
    Pump(20);
    EXPECT_EQ(LastChange().value("PlaybackStatus").toString(), "Playing");
    const std::size_t before = log.changes.size();
    service->Refresh();
    Pump(20);
    EXPECT_EQ(log.changes.size(), before);  // nothing new, nothing sent
}

TEST_F(Mpris, MetadataDescribesTheSongWithTheTypesAppletsExpect)
{
    QVariantMap none = Metadata();
    EXPECT_EQ(none.value("mpris:trackid").value<QDBusObjectPath>().path(), "/org/mpris/MediaPlayer2/TrackList/NoTrack");
    EXPECT_EQ(none.size(), 1);

    media.path = "/music/노래 #1.mp3";
    media.tags[media.path] = {"바다", "가수", "앨범"};
    media.status = TransportState::Playing;
    media.lengthMs = 200000;
    service->Refresh();
    Pump(20);
    const QVariantMap changed = qdbus_cast<QVariantMap>(LastChange().value("Metadata").value<QDBusArgument>());
    EXPECT_FALSE(changed.isEmpty());
    const QVariantMap song = Metadata();
    EXPECT_EQ(song, changed);
    const QString firstId = song.value("mpris:trackid").value<QDBusObjectPath>().path();
    EXPECT_TRUE(firstId.startsWith("/org/sorvel/track/")) << firstId.toStdString();
    EXPECT_EQ(song.value("xesam:url").toString(), "file:///music/%EB%85%B8%EB%9E%98%20%231.mp3");
    EXPECT_EQ(song.value("xesam:title").toString(), "바다");
    EXPECT_EQ(song.value("xesam:artist").toStringList(), QStringList{"가수"});
    EXPECT_EQ(song.value("xesam:album").toString(), "앨범");
    EXPECT_EQ(song.value("mpris:length").metaType(), QMetaType::fromType<qlonglong>());
    EXPECT_EQ(song.value("mpris:length").toLongLong(), 200000000LL);

    // Paused, the song has no stream to ask for its length: it keeps the one it had.
    media.status = TransportState::Paused;
    media.lengthMs = 0;
    service->Refresh();
    EXPECT_EQ(Metadata().value("mpris:length").toLongLong(), 200000000LL);

    // A song without tags is named by its file; the tags are read once per song.
    media.path = "/music/plain.ogg";
    media.status = TransportState::Playing;
    media.lengthMs = 1000;
    service->Refresh();
    service->Refresh();
    const QVariantMap plain = Metadata();
    EXPECT_EQ(plain.value("xesam:title").toString(), "plain.ogg");
    EXPECT_FALSE(plain.contains("xesam:artist"));
    EXPECT_FALSE(plain.contains("xesam:album"));
    EXPECT_NE(plain.value("mpris:trackid").value<QDBusObjectPath>().path(), firstId);
    EXPECT_EQ(media.tagReads, 2);

    // A new song is told as it starts.
    media.path = "/music/third.mp3";
    media.tell();
    Pump(20);
    EXPECT_EQ(Metadata().value("xesam:title").toString(), "third.mp3");
    const QVariantMap told = qdbus_cast<QVariantMap>(LastChange().value("Metadata").value<QDBusArgument>());
    EXPECT_EQ(told.value("xesam:title").toString(), "third.mp3");
}

TEST_F(Mpris, VolumeIsTheKnobClampedToItsEnds)
{
    EXPECT_DOUBLE_EQ(Get(Player, "Volume").toDouble(), 0.5);
    Set(Player, "Volume", 0.25);
    EXPECT_DOUBLE_EQ(media.volume, 0.25);
    EXPECT_DOUBLE_EQ(LastChange().value("Volume").toDouble(), 0.25);
    Set(Player, "Volume", 1.7);
    EXPECT_DOUBLE_EQ(media.volume, 1.0);
    Set(Player, "Volume", -3.0);
    EXPECT_DOUBLE_EQ(media.volume, 0.0);
    media.volume = 0.8;  // the knob dragged in the window
    service->Refresh();
    Pump(20);
    EXPECT_DOUBLE_EQ(LastChange().value("Volume").toDouble(), 0.8);
}

TEST_F(Mpris, SeekAndSetPositionMoveTheSongAndSaySoOnlyWhereTheyMay)
{
    // Nothing open: no seek.
    Call(Player, "Seek", {qlonglong(5000000)});
    EXPECT_TRUE(media.actions.empty());

    media.path = "/m/a.mp3";
    media.status = TransportState::Playing;
    media.lengthMs = 60000;
    media.positionMs = 10000;
    media.canSeek = true;
    service->Refresh();
    EXPECT_TRUE(Get(Player, "CanSeek").toBool());
    EXPECT_EQ(Get(Player, "Position").toLongLong(), 10000000LL);

    Call(Player, "Seek", {qlonglong(5000000)});
    Call(Player, "Seek", {qlonglong(-60000000)});
    ASSERT_EQ(log.seeks.size(), 2u);
    EXPECT_EQ(log.seeks[0], 15000000LL);
    EXPECT_EQ(log.seeks[1], 0LL);

    const QDBusObjectPath current = Metadata().value("mpris:trackid").value<QDBusObjectPath>();
    Call(Player, "SetPosition", {QVariant::fromValue(QDBusObjectPath("/org/sorvel/track/999")), qlonglong(30000000)});
    Call(Player, "SetPosition", {QVariant::fromValue(current), qlonglong(70000000)});  // past the end
    Call(Player, "SetPosition", {QVariant::fromValue(current), qlonglong(-1)});
    Call(Player, "SetPosition", {QVariant::fromValue(current), qlonglong(30000000)});
    // Past the end of the song is as if it had ended.
    Call(Player, "Seek", {qlonglong(40000000)});
    EXPECT_EQ(media.actions, (std::vector<QString>{"SeekTo 15000", "SeekTo 0", "SeekTo 30000", "Next"}));
    EXPECT_EQ(log.seeks.size(), 3u);
}

TEST_F(Mpris, ASeekInTheWindowIsToldAndPlayingOnIsNot)
{
    media.path = "/m/a.mp3";
    media.status = TransportState::Playing;
    media.lengthMs = 600000;
    media.canSeek = true;
    service->Refresh();
    media.positionMs = 300;  // playing on: the bus reads the position when it wants it
    service->Refresh();
    Pump(20);
    EXPECT_TRUE(log.seeks.empty());
    EXPECT_TRUE(LastChange().isEmpty() || !LastChange().contains("Position"));
    media.SeekTo(200000);  // the seek knob dragged in the window
    Pump(20);
    ASSERT_EQ(log.seeks.size(), 1u);
    EXPECT_EQ(log.seeks[0], 200000000LL);
    EXPECT_EQ(Get(Player, "Position").toLongLong(), 200000000LL);
}

TEST_F(Mpris, OpenUriTakesLocalFilesOnly)
{
    Call(Player, "OpenUri", {QString("file:///music/%EB%B0%94%EB%8B%A4.mp3")});
    Call(Player, "OpenUri", {QString("https://example.invalid/a.mp3")});
    Call(Player, "OpenUri", {QString("not a uri")});
    ASSERT_EQ(media.opened.size(), 1u);
    EXPECT_EQ(media.opened[0].first, QStringList{"/music/바다.mp3"});
    EXPECT_TRUE(media.opened[0].second);
}

TEST_F(Mpris, ASecondPlayerOnTheBusGetsAnInstanceName)
{
    FakeMedia other;
    const QString connection = QStringLiteral("second");
    {
        QDBusConnection secondBus = QDBusConnection::connectToBus(busAddress(), connection);
        MprisService second(other, secondBus);
        ASSERT_TRUE(second.Register());
        EXPECT_EQ(second.ServiceName(), QStringLiteral("org.mpris.MediaPlayer2.sorvel.instance%1").arg(getpid()));
    }
    QDBusConnection::disconnectFromBus(connection);
}

TEST(MprisWithoutABus, RegisterSaysNo)
{
    ensureApplication();
    FakeMedia media;
    MprisService service(media, QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "none"));
    EXPECT_FALSE(service.Register());
    service.Refresh();  // harmless
    QDBusConnection::disconnectFromBus("none");
}

} // namespace

#include "MprisTest.moc"
