#include "Desktop.h"

#include "Dxbuttons.h"
#include "Main.h"
#include "MediaControl.h"
#include "Mpris.h"
#include "Ogg.h"
#include "Playlist.h"
#include "ShutdownRequests.h"
#include "SingleInstance.h"
#include "TagReader.h"

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

// The media controls' view of the player window: its transport, the stream player's
// public state and the volume knob.
class PlayerMedia : public IMediaControl {
public:
    PlayerMedia(TFormMain& formMain, TFormPlayList& formPlayList) : m_main(formMain), m_list(formPlayList) {}

    // Runs after a deferred action, so the bus hears of its effect at once.
    std::function<void()> Changed;

    PlaybackStatus Status() const override
    {
        if (!Ogg)
            return PlaybackStatus::Stopped;
        switch (Ogg->Snapshot().state) {
        case TransportState::Playing:
            return PlaybackStatus::Playing;
        case TransportState::Paused:
            return PlaybackStatus::Paused;
        case TransportState::Stopped:
            break;
        }
        return PlaybackStatus::Stopped;
    }
    QString TrackPath() const override { return Ogg ? Ogg->m_strFileName : QString(); }
    qint64 PositionMs() const override
    {
        if (!Ogg)
            return 0;
        if (Ogg->m_IsOpen())
            return Ogg->m_GetTimeMs();
        return Status() == PlaybackStatus::Paused ? Ogg->m_nPausePos : 0;
    }
    qint64 LengthMs() const override { return Ogg && Ogg->m_IsOpen() ? Ogg->m_GetLengthMs() : 0; }
    bool CanSeek() const override { return Ogg && Ogg->m_IsOpen() && Ogg->m_GetLengthMs() > 0; }
    double Volume() const override
    {
        const TShape::BarAccess& bar = m_main.ShapeVolume->Bar();
        const int maximum = bar.maximum && bar.value ? bar.maximum() : 0;
        return maximum > 0 ? static_cast<double>(bar.value()) / maximum : 0.0;
    }
    TrackTags Tags(const QString& path) const override
    {
        const FileTagText text = ReadFileTags(path);
        return {text.title, text.artist, text.album};
    }

    // The buttons' actions may open a notice box; a caller on the bus is answered first.
    void PlayPause() override
    {
        Later([this] { m_main.BPlayClick(m_main.BPlay); });
    }
    void Play() override
    {
        Later([this] {
            if (Status() != PlaybackStatus::Playing)
                m_main.BPlayClick(m_main.BPlay);
        });
    }
    void Pause() override
    {
        Later([this] {
            if (Status() == PlaybackStatus::Playing)
                m_main.BPlayClick(m_main.BPlay);
        });
    }
    void Stop() override
    {
        Later([this] { m_main.BStopClick(m_main.BStop); });
    }
    void Next() override
    {
        Later([this] { m_main.PlayNextSong(); });
    }
    void SeekTo(qint64 ms) override
    {
        if (CanSeek())
            Ogg->m_SetPosition(static_cast<int>(std::clamp<qint64>(ms, 0, Ogg->m_GetLengthMs())));
    }
    void SetVolume(double volume) override
    {
        const TShape::BarAccess& bar = m_main.ShapeVolume->Bar();
        if (bar.setValue && bar.maximum)
            bar.setValue(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * bar.maximum())));
    }
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
        QTimer::singleShot(0, &m_context, [this, action = std::move(action)] {
            action();
            if (Changed)
                Changed();
        });
    }

    TFormMain& m_main;
    TFormPlayList& m_list;
    QObject m_context;  // actions still waiting die with this object
};

DesktopIntegration::DesktopIntegration(TFormMain& formMain, TFormPlayList& formPlayList, HandOverServer& handOver)
    : m_formMain(formMain), m_formPlayList(formPlayList), m_handOver(handOver)
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
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/desktop/sorvel-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
}

void DesktopIntegration::Start(const QStringList& paths)
{
    if (!paths.isEmpty())
        m_formPlayList.OpenPaths(paths, true);
    m_handOver.OnPaths = [this](const QStringList& handed, bool play) { m_formPlayList.OpenPaths(handed, play); };

    m_shutdown = std::make_unique<ShutdownRequests>();
    m_shutdown->OnRequest = [this](const char*) { m_formMain.close(); };

    m_media = std::make_unique<PlayerMedia>(m_formMain, m_formPlayList);
    m_mpris = std::make_unique<MprisService>(*m_media, QDBusConnection::sessionBus());
    if (!m_mpris->Register()) {
        // No session bus (a bare X session, a service): everything else works.
        std::fprintf(stderr, "sorvel: no session bus; media keys and sound applets will not see the player\n");
        m_mpris.reset();
        return;
    }
    m_media->Changed = [this] { m_mpris->Refresh(); };
    QObject::connect(&m_formMain.TimerPosition, &QTimer::timeout, m_mpris.get(), [this] { m_mpris->Refresh(); });
}
