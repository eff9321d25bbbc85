// Builds the program: the single-instance check and its server, the docking manager,
// the player window, the playlist window and what connects them. The player reaches the
// playlist only through `IPlayListLink`; the playlist reaches the player only through
// `App.PlaySong`.

#include "AppFolder.h"
#include "Cmain.h"
#include "CommandLine.h"
#include "Desktop.h"
#include "Magnetic.h"
#include "MagneticRouter.h"
#include "Main.h"
#include "PlayListLink.h"
#include "Playlist.h"
#include "ReplaceFile.h"
#include "ShutdownRequests.h"
#include "SingleInstance.h"
#include "Transport.h"
#include "Trayicon.h"
#include "WindowPlacement.h"
#include "fsound.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace {

// Long enough for the windows to be mapped and painted first; a press before it simply
// opens the libraries itself.
constexpr int kPreloadDelayMs = 250;

// The player's view of the playlist window. When the window is gone (at shut-down it
// goes before the player), the last geometry and visibility are kept.
class PlayListLink : public IPlayListLink {
public:
    explicit PlayListLink(TFormPlayList& form) : m_form(&form) {}

    // Takes the window's last state; the window is about to be destroyed.
    void Detach()
    {
        if (!m_form)
            return;
        m_geometry = LogicalWindowRect(m_form);
        m_visible = m_form->isVisible();
        m_form = nullptr;
    }

    QString CurrentSong() override { return m_form ? m_form->CurrentSong() : QString(); }
    QString NextSong() override { return m_form ? m_form->NextSong() : QString(); }
    QString PeekNextSong() override { return m_form ? m_form->PeekNextSong() : QString(); }
    void BeginTempUpdate() override
    {
        if (m_form)
            m_form->BeginTempUpdate();
    }
    void EndTempUpdate() override
    {
        if (m_form)
            m_form->EndTempUpdate();
    }
    void AddTempPath(const QString& path) override
    {
        if (m_form)
            m_form->AddTempPath(path);
    }
    void SaveTempList() override
    {
        if (m_form)
            m_form->SaveTempList();
    }
    void ShowWindow() override
    {
        if (m_form) {
            m_form->show();
            m_form->raise();
        }
    }
    void HideWindow() override
    {
        if (m_form)
            m_form->hide();
    }
    bool IsWindowVisible() const override { return m_form ? m_form->isVisible() : m_visible; }
    QRect WindowGeometry() const override { return m_form ? LogicalWindowRect(m_form) : m_geometry; }
    QWidget* Window() override { return m_form; }
    void SetMoveHook(IMoveSizeHook* hook) override
    {
        if (m_form)
            m_form->SetMoveHook(hook);
    }

private:
    QPointer<TFormPlayList> m_form;
    QRect m_geometry;
    bool m_visible = false;
};

} // namespace

int main(int argc, char** argv)
{
    // --help, --version and misuse answer here; paths are made absolute before the
    // current folder changes.
    QStringList paths;
    if (const int code = HandleCommandLine(argc, argv, paths); code >= 0)
        return code;
    // A copy already running is told to come forward (and given the paths), and this
    // one ends.
    if (App.CheckRunningInstance(paths))
        return 1;
    // From here on SIGTERM, SIGINT and SIGHUP close the program as its window does,
    // even when they come while it is still starting.
    ShutdownRequests::InstallHandlers();

    // The windows place themselves, which Wayland does not allow: use X11 (XWayland) there.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Sorvel"));
    DesktopIntegration::SetApplicationIdentity();
    // A save that was killed half-way left its temporary file beside the file it was to
    // replace; it goes before anything is read or written.
    if (ProgramFolderWritable())
        RemoveStaleTemporaries(ProgramFiles());

    int result = 0;
    {
        HandOverServer handOver(App.TakeHandOverSocket());
        // The docking manager outlives both windows.
        QtWindowSystem windowSystem;
        TMagnetic magnetic(windowSystem);
        MagneticWnd = &magnetic;

        // Made before the player, which asks it for the playlist window's last place as it
        // is destroyed itself.
        std::unique_ptr<PlayListLink> link;
        // The one transport: the strip, the playlist and the media controls all use it.
        Transport transport;
        // The player window loads the settings the playlist window is placed by.
        TFormMain formMain(nullptr, &transport);
        auto formPlayList = std::make_unique<TFormPlayList>();
        formPlayList->OnDestroy = RemoveFromMagnetic;
        link = std::make_unique<PlayListLink>(*formPlayList);
        formMain.SetPlayList(link.get());
        transport.SetSongSource(link.get());
        QObject::connect(formPlayList.get(), &TFormPlayList::SongsChanged, &transport, &Transport::SongListChanged);
        App.SetPlayRequest([&formMain] { formMain.BPlayClick(nullptr); });
        handOver.OnMessage = [&formMain](int) { formMain.HandOverMessage(); };

        // The notification-area icon, the player's way back from hiding.
        TTrayIcon trayIcon(&formMain);
        trayIcon.MinimizeToTray = true;
        trayIcon.SetPopupMenu(formMain.PopupMenuTray);
        trayIcon.SetIcon(QApplication::windowIcon());
        trayIcon.SetHint(QStringLiteral("Sorvel - 소르벨"));
        trayIcon.OnDblClick = [&formMain](QObject*) { formMain.RestoreFromTray(); };
        trayIcon.SetIconVisible(true);
        formMain.TrayIcon = &trayIcon;

        auto desktop = std::make_unique<DesktopIntegration>(transport, formMain, *formPlayList, handOver);

        formMain.show();
        desktop->Start(paths);
        // What every song needs (the spectrum's transform) is opened on the decoder thread
        // once the windows are up, not before them; each decoder waits for its first file.
        QTimer::singleShot(kPreloadDelayMs, [] { fsound::PreloadDecoding(); });
        result = QApplication::exec();

        // Windows go in reverse order of creation: the playlist window first (it writes
        // "Temprary.txt"), then the player (it writes the settings, with the playlist
        // window's last geometry).
        formMain.TrayIcon = nullptr;
        desktop.reset();
        transport.SetSongSource(nullptr);
        App.SetPlayRequest({});
        handOver.OnMessage = {};
        link->Detach();
        formPlayList.reset();
    }
    fsound::Shutdown();
    return result;
}
