#include "Program.h"

#include "AppFolder.h"
#include "Cmain.h"
#include "CommandLine.h"
#include "Desktop.h"
#include "FileName.h"
#include "FontPages.h"
#include "G.h"
#include "Magnetic.h"
#include "MagneticRouter.h"
#include "Main.h"
#include "Placement.h"
#include "PlaybackEngine.h"
#include "PlayListLink.h"
#include "Playlist.h"
#include "ReplaceFile.h"
#include "SettingsFile.h"
#include "ShutdownRequests.h"
#include "SingleInstance.h"
#include "Transport.h"
#include "Trayicon.h"
#include "WindowPlacement.h"
#include "fsound.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <cmath>

#include <sys/stat.h>

namespace {

// Long enough for the windows to be mapped and painted first; a press before it simply
// opens the libraries itself.
constexpr int kPreloadDelayMs = 250;

QMessageBox::Icon iconForFlags(int flags)
{
    switch (flags & 0xF0) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// Each window takes its stored place on its own; on a small logical screen (a high
// scale) or from a place saved wrongly the strip can then cover the playlist window,
// which goes below it instead, glued. The place corrected is the one stored at the end.
void keepListClearOfStrip(QWidget* strip, QWidget* list)
{
    const QRect stripRect = LogicalWindowRect(strip);
    const QRect listRect = LogicalWindowRect(list);
    const StoredRect stored{stripRect.x(), stripRect.y(), stripRect.width(), stripRect.height()};
    QRect area = ChooseWorkArea(stored, ScreenWorkAreas());
    // At a fractional scale the logical work area is rounded up: its last logical row
    // may lie partly below the screen, where the window manager would push the window up.
    const qreal ratio = strip->devicePixelRatioF();
    if (ratio != std::floor(ratio))
        area.setBottom(area.bottom() - 1);
    const WindowPair pair = KeepListClearOfStrip(stripRect, listRect, area, list->minimumSize());
    if (pair.strip != stripRect)
        PlaceWindow(strip, pair.strip);
    if (pair.list != listRect)
        PlaceWindow(list, pair.list, true);
}

int showWindowMessageBox(const QString& caption, const QString& text, int flags, bool ownedByApp)
{
    const bool question = (flags & 0x0F) == MB_YESNO;
    QMessageBox box(iconForFlags(flags), caption, text, question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    ownedByApp ? QApplication::activeWindow() : nullptr);
    box.setWindowModality(Qt::ApplicationModal);
    const int pressed = box.exec();
    if (question)
        return pressed == QMessageBox::Yes ? IDYES : IDNO;
    return IDOK;
}

} // namespace

// The player's view of the playlist: its songs from the model, its window for the rest.
// When the window is gone (at shut-down it goes before the player), the last geometry and
// visibility are kept.
class Program::PlayListLink : public IPlayListLink {
public:
    PlayListLink(PlaylistModel& songs, TFormPlayList& form) : m_songs(songs), m_form(&form) {}

    // Takes the window's last state; the window is about to be destroyed.
    void Detach()
    {
        if (!m_form)
            return;
        m_geometry = LogicalWindowRect(m_form);
        m_visible = m_form->isVisible();
        m_form = nullptr;
    }

    QString CurrentSong() override { return m_songs.CurrentSong(); }
    QString NextSong() override { return m_songs.NextSong(); }
    QString PeekNextSong() override { return m_songs.PeekNextSong(); }
    QString PeekSongAfterNext() override { return m_songs.PeekSongAfterNext(); }
    QString PreviousSong() override { return m_songs.PreviousSong(); }
    QString PeekPreviousSong() override { return m_songs.PeekPreviousSong(); }
    int SongCount() const override { return m_songs.SongCount(); }
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
    int PlayingPage() const override { return m_songs.CurPage(); }
    int PlayingEntry() const override { return m_songs.CurrentRow(); }
    bool CueEntry(int page, int row, const QString& path) override { return m_songs.CueEntry(page, row, path); }
    void SetMoveHook(IMoveSizeHook* hook) override
    {
        if (m_form)
            m_form->SetMoveHook(hook);
    }

private:
    PlaylistModel& m_songs;
    QPointer<TFormPlayList> m_form;
    QRect m_geometry;
    bool m_visible = false;
};

Program::Program(std::unique_ptr<CMain> app) : m_app(std::move(app))
{
    SetMessageBoxPresenter(showWindowMessageBox);
    m_handOver = std::make_unique<HandOverServer>(m_app->TakeHandOverSocket());
    // The docking manager outlives both windows.
    m_windowSystem = std::make_unique<QtWindowSystem>();
    m_magnetic = std::make_unique<TMagnetic>(*m_windowSystem);

    // The engine and its one transport: the strip, the playlist and the media controls
    // all use it. Its output is open (idle) from here on, on the device the settings name.
    m_engine = std::make_unique<PlaybackEngine>(StoredOutputDevice());
    Transport& transport = m_engine->TheTransport();
    m_playlist = std::make_unique<PlaylistModel>(m_app->FileProblems);
    // The player window loads the settings the playlist window is placed by.
    m_formMain = std::make_unique<TFormMain>(transport, m_engine->FrameSink(), m_settings, *m_app);
    m_formMain->SetDocking(m_magnetic.get());
    // The spectrum is drawn over the strip's own picture.
    m_engine->SetSpectrumBack(m_formMain->SpectrumBackBits());
    m_engine->StartSpectrum();
    m_formPlayList = std::make_unique<TFormPlayList>(*m_playlist, m_settings, *m_app);
    TFormMain* formMain = m_formMain.get();
    m_formPlayList->OnDestroy = [formMain](QWidget* window) { formMain->RemoveFromMagnetic(window); };
    m_link = std::make_unique<PlayListLink>(*m_playlist, *m_formPlayList);
    m_formMain->SetPlayList(m_link.get());
    // The transport asks the playlist for its songs; the playlist asks the transport to
    // play the entry a user chose, and tells it when the song after the current one may
    // have changed.
    transport.SetSongSource(m_link.get());
    QObject::connect(m_playlist.get(), &PlaylistModel::PlayRequested, &transport, &Transport::PlayPath);
    QObject::connect(m_playlist.get(), &PlaylistModel::SongsChanged, &transport, &Transport::SongListChanged);
    // The master-volume bar follows a change made elsewhere as the sound server tells it.
    QObject::connect(&transport, &Transport::SinkChanged, m_formPlayList.get(), &TFormPlayList::MasterVolumeChanged);
    // The lists are written while the windows still show, so a failure is said first.
    TFormPlayList* formPlayList = m_formPlayList.get();
    formMain->OnClosing = [formPlayList] { formPlayList->SaveLists(); };
    m_handOver->OnMessage = [formMain](int) { formMain->HandOverMessage(); };

    // The notification-area icon, the player's way back from hiding.
    m_timers = std::make_unique<TSimpleTimerHandler>();
    m_trayIcons = std::make_unique<TTrayIconHandler>();
    m_trayIcon = std::make_unique<TTrayIcon>(formMain, *m_trayIcons, *m_timers);
    m_trayIcon->MinimizeToTray = true;
    m_trayIcon->SetPopupMenu(formMain->PopupMenuTray);
    m_trayIcon->SetIcon(QApplication::windowIcon());
    m_trayIcon->SetHint(QStringLiteral("Sorvel - 소르벨"));
    m_trayIcon->OnDblClick = [formMain](QObject*) { formMain->RestoreFromTray(); };
    m_trayIcon->SetIconVisible(true);
    formMain->TrayIcon = m_trayIcon.get();

    m_desktop = std::make_unique<DesktopIntegration>(transport, *formMain, *m_formPlayList, *m_handOver,
                                                     m_app->FileProblems);

    // The windows' first pictures, a song's title and a list's new entries draw glyphs
    // never drawn before; once they have, the font files' pages go back.
    m_fontPages = std::make_unique<FontPageRelease>();
    FontPageRelease* fontPages = m_fontPages.get();
    QObject::connect(&transport, &Transport::SongChanged, fontPages, &FontPageRelease::Schedule);
    QObject::connect(m_playlist.get(), &PlaylistModel::SongsChanged, fontPages, &FontPageRelease::Schedule);
    fontPages->Schedule();
}

Program::~Program()
{
    m_fontPages.reset();
    m_formMain->TrayIcon = nullptr;
    m_formMain->OnClosing = {};
    m_desktop.reset();
    m_engine->TheTransport().SetSongSource(nullptr);
    m_playlist->disconnect(&m_engine->TheTransport());
    m_handOver->OnMessage = {};
    m_link->Detach();
    m_formPlayList.reset();
    m_trayIcon.reset();
    m_trayIcons.reset();
    m_timers.reset();
    m_formMain.reset();
    // The spectrum thread ends, then the library: the decoder thread, the output, the streams.
    m_engine.reset();
    m_playlist.reset();
    m_link.reset();
    m_magnetic.reset();
    m_windowSystem.reset();
    m_handOver.reset();
    SetMessageBoxPresenter({});
}

Transport& Program::TheTransport()
{
    return m_engine->TheTransport();
}

void Program::Start(const QStringList& paths)
{
    m_formMain->show();
    // Once the strip shows, a playlist window put below it stands on its device edge.
    keepListClearOfStrip(m_formMain.get(), m_formPlayList.get());
    m_desktop->Start(paths);
    // Started with nothing to play, the player carries on with the song heard last, paused
    // where it was; a song that is gone leaves it stopped, unsaid.
    if (paths.isEmpty())
        carryOn();
    // Once the windows show: what start-up found wrong with the files, and a list that
    // could not be written last time.
    TFormPlayList* formPlayList = m_formPlayList.get();
    SaveProblems* fileProblems = &m_app->FileProblems;
    QTimer::singleShot(0, m_formMain.get(), [formPlayList, fileProblems] {
        fileProblems->ShowStartNotices();
        formPlayList->OfferKeptList();
    });
    // What every song needs (the spectrum's transform) is opened on the decoder thread
    // once the windows are up, not before them; each decoder waits for its first file.
    QTimer::singleShot(kPreloadDelayMs, m_formMain.get(), [] { fsound::PreloadDecoding(); });
}

void Program::carryOn()
{
    const QString path = m_settings.SongPath;
    struct stat info {};
    if (path.isEmpty() || ::stat(FileNameBytes(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return;
    m_link->CueEntry(m_settings.SongPage, m_settings.SongEntry, path);
    m_engine->TheTransport().Cue(path, m_settings.SongPositionMs);
}

int Program::Run(int argc, char** argv)
{
    // --help, --version and misuse answer here; paths are made absolute before the
    // current folder changes.
    QStringList paths;
    if (const int code = HandleCommandLine(argc, argv, paths); code >= 0)
        return code;
    // A copy already running is told to come forward (and given the paths), and this
    // one ends.
    auto cmain = std::make_unique<CMain>();
    if (cmain->CheckRunningInstance(paths))
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
        Program program(std::move(cmain));
        program.Start(paths);
        result = QApplication::exec();
    }
    return result;
}
