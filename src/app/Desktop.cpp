#include "Desktop.h"

#include "Artwork.h"
#include "SaveProblems.h"
#include "Main.h"
#include "MediaControl.h"
#include "Mpris.h"
#include "Playlist.h"
#include "ShutdownRequests.h"
#include "SingleInstance.h"
#include "TagReader.h"
#include "Transport.h"

#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

static void initDesktopResources()
{
    Q_INIT_RESOURCE(desktop);
}

// The media controls' view of the transport; raising and quitting go to the player window.
class PlayerMedia : public IMediaControl {
public:
    PlayerMedia(Transport& transport, TFormMain& formMain, TFormPlayList& formPlayList)
        : m_transport(transport), m_main(formMain), m_list(formPlayList)
    {
    }

    TransportState Status() const override
    {
        switch (m_transport.State()) {
        case TransportState::Playing:
            return TransportState::Playing;
        case TransportState::Paused:
            return TransportState::Paused;
        case TransportState::Stopped:
            break;
        }
        return TransportState::Stopped;
    }
    QString TrackPath() const override { return m_transport.SongPath(); }
    quint64 SongNumber() const override { return m_transport.SongNumber(); }
    qint64 PositionMs() const override { return m_transport.PositionMs(); }
    qint64 LengthMs() const override { return m_transport.LengthMs(); }
    bool CanSeek() const override { return m_transport.CanSeek(); }
    double Volume() const override { return m_transport.Volume(); }
    TrackTags Tags(const QString& path) const override
    {
        const FileTagText text = ReadFileTags(path);
        return {text.title, text.artist, text.album};
    }

    // Playing may open the notice box (nothing to play): a caller on the bus is answered first.
    void PlayPause() override
    {
        Later([this] { m_transport.PlayPause(); });
    }
    void Play() override
    {
        Later([this] { m_transport.Play(); });
    }
    void Pause() override { m_transport.Pause(); }
    void Stop() override { m_transport.Stop(); }
    void Next() override { m_transport.Next(); }
    void Previous() override { m_transport.Previous(); }
    bool CanGoPrevious() const override { return m_transport.CanGoPrevious(); }
    void SeekTo(qint64 ms) override
    {
        if (m_transport.CanSeek())
            m_transport.SeekTo(std::clamp<qint64>(ms, 0, m_transport.LengthMs()));
    }
    void SetVolume(double volume) override { m_transport.SetVolume(volume); }
    void OpenPaths(const QStringList& paths, bool play) override
    {
        Later([this, paths, play] { m_list.OpenPaths(paths, play); });
    }
    void Raise() override { m_main.RestoreFromTray(); }
    void Quit() override
    {
        Later([this] { m_main.close(); });
    }

private:
    void Later(std::function<void()> action)
    {
        QTimer::singleShot(0, &m_context, std::move(action));
    }

    Transport& m_transport;
    TFormMain& m_main;
    TFormPlayList& m_list;
    QObject m_context;  // actions still waiting die with this object
};

DesktopIntegration::DesktopIntegration(Transport& transport, TFormMain& formMain, TFormPlayList& formPlayList,
                                       HandOverServer& handOver, SaveProblems& fileProblems)
    : m_transport(transport)
    , m_formMain(formMain)
    , m_formPlayList(formPlayList)
    , m_handOver(handOver)
    , m_fileProblems(fileProblems)
{
}

DesktopIntegration::~DesktopIntegration()
{
    m_handOver.OnPaths = {};
    if (m_shutdown)
        m_shutdown->OnRequest = {};
}

void DesktopIntegration::SetApplicationIdentity()
{
    initDesktopResources();
    QGuiApplication::setDesktopFileName(QStringLiteral("sorvel"));
    // The windows' own icon up to 128 pixels: each window hands every size to the X
    // server as plain pixels, and the icon keeps them decoded; the 256-pixel picture
    // alone cost 256 KiB of each. Larger pictures come from the installed theme, which
    // the desktop file names.
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(ReadPng(QStringLiteral(":/desktop/sorvel-%1.png").arg(size))));
    QApplication::setWindowIcon(icon);
}

void DesktopIntegration::Start(const QStringList& paths)
{
    if (!paths.isEmpty())
        m_formPlayList.OpenPaths(paths, true, true);
    m_handOver.OnPaths = [this](const QStringList& handed, bool play) { m_formPlayList.OpenPaths(handed, play); };

    m_shutdown = std::make_unique<ShutdownRequests>();
    // A signal or the session's end: nobody is there to answer a box.
    m_shutdown->OnRequest = [this](const char*) {
        m_fileProblems.SetBoxesAllowed(false);
        m_formMain.close();
    };

    m_media = std::make_unique<PlayerMedia>(m_transport, m_formMain, m_formPlayList);
    m_mpris = std::make_unique<MprisService>(*m_media, QDBusConnection::sessionBus());
    if (!m_mpris->Register()) {
        // No session bus (a bare X session, a service): everything else works.
        std::fprintf(stderr, "sorvel: no session bus; media keys and sound applets will not see the player\n");
        m_mpris.reset();
        return;
    }
    // Told of every change as it happens; the position is read when the bus asks.
    MprisService* mpris = m_mpris.get();
    for (auto changed : {&Transport::StateChanged, &Transport::SongChanged, &Transport::LengthChanged,
                         &Transport::VolumeChanged})
        QObject::connect(&m_transport, changed, mpris, &MprisService::Refresh);
    QObject::connect(&m_transport, &Transport::Seeked, mpris, &MprisService::TellSeeked);
}
