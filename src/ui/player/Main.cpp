#include "Main.h"

#include "AppFolder.h"
#include "Artwork.h"
#include "Cmain.h"
#include "Dxbuttons.h"
#include "G.h"
#include "About.h"
#include "FileName.h"
#include "Fonts.h"
#include "MagneticRouter.h"
#include "MusicFormats.h"
#include "Panel.h"
#include "Placement.h"
#include "PlayListLink.h"
#include "StripAccessible.h"
#include "StripLabel.h"
#include "Transport.h"
#include "Trayicon.h"
#include "VisibilityWatch.h"
#include "WindowPlacement.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMouseEvent>

#include <algorithm>
#include <cstdio>
#include <cstring>

static void initPlayerResources()
{
    Q_INIT_RESOURCE(player);
}

TFormMain::TFormMain(Transport& transport, SpectrumFrameSink& spectrum, G_STRUCT_tag& settings, CMain& app,
                     IPlayListLink* playList)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool)
    , m_transport(transport)
    , m_frameSink(spectrum)
    , m_settings(settings)
    , m_app(app)
    , m_playList(playList)
{
    initPlayerResources();
    InstallDesignFonts();
    InstallStripAccessibility();
    setObjectName(QStringLiteral("FormMain"));
    QDir::setCurrent(ProgramFolder());
    m_app.LoadSettings(m_settings);

    setWindowTitle(QStringLiteral("마루엘의 뮤직플레이어 Sorvel"));
    resize(472, 223);
    BuildComponents();
    BuildHiddenComponents();
    // The stored place and knob may come from a damaged or hand-edited file, or from a
    // screen that is gone: the strip stands wholly on a screen and the knob on its track.
    const StoredRect stored{m_settings.MainX, m_settings.MainY, PanelBack->width(), PanelBack->height()};
    setFixedSize(PanelBack->size());
    PlaceWindow(this, FitIntoWorkArea(stored, ChooseWorkArea(stored, ScreenWorkAreas())));
    ShapeVolume->PlaceKnob(ShapeVolume->x() + std::clamp(m_settings.Volume, 0, ShapeVolume->Bar().Range()));
    ConnectBars();
    // The window opens with the focus where every transport click leaves it: on the tray
    // button, which shows no focus look, rather than ringing the first transport button.
    BToTray->setFocus();

    // The spectrum background, as the painter wants it and as the thread reads it.
    m_spectrumBack = LoadArtwork(QStringLiteral(":/player/spectrum_back3.png")).convertToFormat(QImage::Format_RGB32);
    if (m_spectrumBack.width() == SpectrumFrameSink::kWidth && m_spectrumBack.height() == SpectrumFrameSink::kHeight) {
        for (int row = 0; row < SpectrumFrameSink::kHeight; ++row)
            std::memcpy(m_backBits.data() + row * SpectrumFrameSink::kWidth * 4,
                        m_spectrumBack.constScanLine(SpectrumFrameSink::kHeight - 1 - row), SpectrumFrameSink::kWidth * 4);
        m_hasBackBits = true;
    }
    Panel1->SetSpectrumBack(&m_spectrumBack);
    Panel1->SetFrameSink(&m_frameSink);

    // The knob the settings put is the volume the songs play at; the volume stored
    // beside it is exact where the knob's pixel rounds it, unless the knob was moved
    // (or the file edited) since.
    ApplyVolume();
    if (m_settings.ExactVolume >= 0.0
        && std::lround(m_settings.ExactVolume * ShapeVolume->Bar().Range()) == ShapeVolume->Bar().Offset())
        m_transport.SetVolume(m_settings.ExactVolume);
    NReplayGain->setChecked(m_settings.ReplayGain);
    m_transport.SetReplayGain(m_settings.ReplayGain);

    // The strip's own move loop talks to the docking manager once it has registered.
    m_magneticRouter = std::make_unique<MagneticRouter>(this, &MagneticProc, &bMagneticHandled);
    m_moveLoop.SetHook(m_magneticRouter.get());

    // Both timers are set afresh at every tick, for the moment the clock's text or the
    // knob's pixel changes next, and rest while no song is heard.
    for (QTimer* timer : {&Timer1, &TimerPosition}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&Timer1, &QTimer::timeout, this, &TFormMain::Timer1Timer);
    connect(&TimerPosition, &QTimer::timeout, this, &TFormMain::TimerPositionTimer);
    connect(&m_transport, &Transport::StateChanged, this, &TFormMain::ShowTransportState);
    connect(&m_transport, &Transport::SongChanged, this, &TFormMain::ShowSong);
    connect(&m_transport, &Transport::Seeked, this, &TFormMain::ShowPosition);
    connect(&m_transport, &Transport::LengthChanged, this, &TFormMain::ShowPosition);
    connect(&m_transport, &Transport::VolumeChanged, this, &TFormMain::MoveVolumeKnobToTransport);
    connect(&m_transport, &Transport::SongSkipped, this, &TFormMain::ShowSkipped);
    connect(&m_transport, &Transport::StreamInfoChanged, this,
            [this] { ShowStreamInfo(m_transport.Kbps(), m_transport.Khz()); });
    connect(&m_transport, &Transport::SongChanged, this, &TFormMain::RememberSong);
    connect(&m_transport, &Transport::StateChanged, this, [this] {
        if (m_transport.State() == TransportState::Paused)
            RememberSong();
    });
    m_skipNotice.setSingleShot(true);
    connect(&m_skipNotice, &QTimer::timeout, this, &TFormMain::ShowTitle);
    m_visibility = new VisibilityWatch(this, [this](bool seen) { SeenChanged(seen); });
    ShowTransportState();
}

TFormMain::~TFormMain()
{
    // Nothing watches the window any more: the sink is back to being seen, as it was.
    delete m_visibility;
    m_visibility = nullptr;
    m_frameSink.SetShown(true);
    Timer1.stop();
    TimerPosition.stop();
    disconnect(&m_transport, nullptr, this, nullptr);
    if (!m_settingsSaved) {
        StoreSettings();
        m_app.SaveSettings(m_settings);
    }
}

void TFormMain::StoreSettings()
{
    // Logical pixels: where the strip was put, not Qt's rounding of its device place.
    const QPoint place = LogicalWindowRect(this).topLeft();
    m_settings.MainX = place.x();
    m_settings.MainY = place.y();
    StorePlayListGeometry();
    m_settings.Volume = ImgVolume->x() - ShapeVolume->x();
    m_settings.ExactVolume = m_transport.Volume();
    m_settings.ReplayGain = m_transport.ReplayGain();
    m_settings.SongPath = m_transport.SongPath();
    m_settings.SongPositionMs = m_transport.PositionMs();
    m_settings.SongPage = m_playList ? m_playList->PlayingPage() : 0;
    m_settings.SongEntry = m_playList ? m_playList->PlayingEntry() : -1;
}

void TFormMain::RememberSong()
{
    StoreSettings();
    m_app.SaveSettings(m_settings);
}

// --- transport ---

bool TFormMain::PlayFile(const QString& path)
{
    return m_transport.PlayFile(path);
}

void TFormMain::PlayNextSong()
{
    m_transport.Next();
}

void TFormMain::BPlayClick(QObject* sender)
{
    m_transport.PlayPause();
    FocusTrayAfterMouseClick(sender);
}

void TFormMain::BStopClick(QObject* sender)
{
    m_transport.Stop();
    FocusTrayAfterMouseClick(sender);
}

void TFormMain::FocusTrayAfterMouseClick(QObject* sender)
{
    // A press by the keyboard or a screen reader (or none, by code) leaves the focus.
    const auto* control = qobject_cast<TdxCustomControl*>(sender);
    if (control && control->ClickedByMouse())
        BToTray->setFocus();
}

void TFormMain::BPlayListClick(QObject*)
{
    if (!m_playList)
        return;
    if (m_playList->IsWindowVisible())
        m_playList->HideWindow();
    else
        m_playList->ShowWindow();
}

void TFormMain::dxButton3Click(QObject* sender)
{
    FocusTrayAfterMouseClick(sender);
    QStringList files;
    if (ChooseFiles) {
        files = ChooseFiles();
    } else {
        QFileDialog dialog(this, QStringLiteral("원하는 음악파일들을 선택하세요."));
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setNameFilters(MusicFileDialogFilters());
        dialog.setDefaultSuffix(QString());
        if (dialog.exec() != QDialog::Accepted)
            return;
        files = dialog.selectedFiles();
    }
    if (files.isEmpty() || !m_playList)
        return;
    m_playList->BeginTempUpdate();
    for (const QString& file : files)
        m_playList->AddTempPath(file);
    m_playList->EndTempUpdate();
    m_playList->SaveTempList();
}

int TFormMain::BPlayTag() const
{
    return m_transport.State() == TransportState::Paused ? 1 : 0;
}

void TFormMain::ShowTransportState()
{
    const TransportState state = m_transport.State();
    // The pause glyph while a song is heard; the play glyph otherwise. A screen reader
    // hears the same: the button is pressed while a song plays, and says which state.
    BPlay->SetGlyph(state == TransportState::Playing ? BPauseImg->Glyph() : BPlayImg->Glyph());
    ShowPlayStateToScreenReaders(BPlay, state == TransportState::Playing,
                                 state == TransportState::Playing  ? QStringLiteral("재생 중")
                                 : state == TransportState::Paused ? QStringLiteral("일시 정지")
                                                                   : QStringLiteral("정지"));
    if (state == TransportState::Stopped && !m_closed)
        DrawSpectrumBack(Panel1);  // the bars disappear
    else if (state == TransportState::Paused)
        Panel1->UpdateSpectrumArea();  // the last frame, into the toolkit's copy of the window
    ShowPosition();
}

void TFormMain::ShowTitle()
{
    const QString path = m_transport.SongPath();
    // Qt labels show ampersands as they are; nothing to double.
    LTitle->setText(ReadableFileName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)));
    ScrollTitle(true);
}

void TFormMain::ShowSkipped(const QString& path)
{
    if (m_closed)
        return;
    LTitle->setText(QStringLiteral("재생할 수 없는 파일을 건너뛰었습니다: %1")
                        .arg(ReadableFileName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1))));
    ScrollTitle(true);
    m_skipNotice.start(SkipNoticeMs);
    ScheduleKnob();  // a long notice creeps along like a long title
}

void TFormMain::ShowSong()
{
    // A notice of a song passed over stays its time; the title of the song that plays
    // instead follows it.
    if (!m_skipNotice.isActive())
        ShowTitle();
    const strOggTagInfo tag = m_transport.TagInfo();
    Label3->setText(tag.Artist);
    Label2->setText(tag.Title);
    Label1->setText(m_transport.TimeText());
    ShowStreamInfo(m_transport.Kbps(), m_transport.Khz());
    ShowPosition();
}

void TFormMain::ShowPosition()
{
    if (m_closed)
        return;
    ShowClock();
    ShowKnob();
    ScheduleClock();
    ScheduleKnob();
}

void TFormMain::ShowClock()
{
    // Once a second while playing: straight onto the window where it can go so.
    const QString text = m_transport.TimeText();
    if (!LTime->ShowLive(text))
        LTime->setText(text);
}

void TFormMain::ShowKnob()
{
    const KnobBar& bar = ShapePosition->Bar();
    // A knob the user holds is the user's until it is let go.
    if (bar.Dragging())
        return;
    const qint64 length = m_transport.LengthMs();
    ShapePosition->PlaceKnob(bar.KnobLeftFor(std::min(m_transport.PositionMs(), length), length));
}

// Paused or stopped nothing on the strip changes, and nothing wakes; nor while nobody can
// see the strip, which catches up as it is seen again. While a song is heard each timer
// is set for the moment its part of the strip changes next: the clock at the song's next
// whole second, the knob at its next pixel (and every 333 ms while a long title creeps
// along). A millisecond late rather than early, so that it has. A knob that moves at most
// once a second moves with the clock, so the strip is drawn once a second.
void TFormMain::ScheduleClock()
{
    if (m_closed || m_transport.State() != TransportState::Playing || (m_visibility && !m_visibility->Seen())) {
        Timer1.stop();
        return;
    }
    Timer1.start(bars::MsUntilNextSecond(m_transport.PositionMs()) + 1);
}

void TFormMain::ScheduleKnob()
{
    if (m_closed || m_transport.State() != TransportState::Playing || (m_visibility && !m_visibility->Seen())) {
        TimerPosition.stop();
        return;
    }
    const int range = ShapePosition->Bar().Range();
    int wait = bars::KnobMovesWithClock(range, m_transport.LengthMs())
                   ? -1
                   : bars::MsUntilKnobMoves(range, m_transport.PositionMs(), m_transport.LengthMs());
    if (LTitle->width() > PanelTitleBack->width())
        wait = wait < 0 ? 333 : std::min(wait, 333);
    if (wait >= 0)
        TimerPosition.start(wait + 1);
    else
        TimerPosition.stop();
}

void TFormMain::MoveVolumeKnobToTransport()
{
    const KnobBar& bar = ShapeVolume->Bar();
    if (bar.Dragging())
        return;
    const int offset = static_cast<int>(std::lround(m_transport.Volume() * bar.Range()));
    if (offset != bar.Offset())
        ShapeVolume->PlaceKnob(bar.TrackLeft() + offset);
}

// --- window ---

void TFormMain::FirstActivate()
{
    if (!MainState.bFirstActivate)
        return;
    MainState.bFirstActivate = false;
    if (m_settings.ViewPlayList && m_playList)
        m_playList->ShowWindow();
    QWidget* playList = m_playList ? m_playList->Window() : nullptr;
    if (!playList)
        return;
    // The playlist window's moving, sizing, showing and hiding reach the docking
    // manager from here on, and it is glued to the strip.
    m_playListRouter = std::make_unique<MagneticRouter>(playList, &MagneticProc);
    m_playList->SetMoveHook(m_playListRouter.get());
    if (m_docking)
        m_docking->AddWindow(playList, this, MagneticProc);
}

void TFormMain::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Its native window may be new: frames go to the one it has now.
    Panel1->PresentFramesDirectly(m_visibility->Seen());
    m_placement.Moved();
    if (MainState.bTopMost)
        raise();
    // The first showing registers the strip, free, with a snap width of 9.
    if (m_docking && m_docking->GetSnapWidth() != 9) {
        m_docking->SetSnapWidth(9);
        m_docking->AddWindow(this, nullptr, MagneticProc);
    }
    // Frameless tool windows are not always activated by the window manager; the first
    // showing stands in for the first activation.
    if (MainState.bFirstActivate)
        QTimer::singleShot(0, this, &TFormMain::FirstActivate);
}

void TFormMain::HandOverMessage()
{
    if (!isVisible() || isMinimized())
        RestoreFromTray();
}

void TFormMain::RestoreFromTray()
{
    if (m_minimisedWithoutTray) {
        m_minimisedWithoutTray = false;
        setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | Qt::Tool);
        showNormal();
    }
    if (TrayIcon) {
        TrayIcon->ShowMainForm();
    } else {
        if (isMinimized())
            setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        raise();
        activateWindow();
    }
    if (bPlayListWasVisible && m_playList)
        m_playList->ShowWindow();
}

void TFormMain::BToTrayClick(QObject*)
{
    const bool playListShown = m_playList && m_playList->IsWindowVisible();
    if (TrayIcon && TrayIcon->ShellAvailable()) {
        TrayIcon->HideMainForm();
    } else {
        static bool told = false;
        if (!told) {
            told = true;
            std::fprintf(stderr, "sorvel: the desktop has no notification area; "
                                 "the windows are minimised instead of hidden to it\n");
        }
        // A tool window has no entry in the task switcher: the strip becomes an ordinary
        // window while it is minimised, so the user can find it again.
        m_minimisedWithoutTray = true;
        setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | Qt::Window);
        showMinimized();
    }
    bPlayListWasVisible = playListShown;
    if (m_playList)
        m_playList->HideWindow();
}

void TFormMain::N4Click()
{
    if (ShowAbout) {
        ShowAbout();
        return;
    }
    TFormAbout about(this);
    about.exec();
}

void TFormMain::N5Click()
{
    ShowNotice(QStringLiteral("도움말이 필요없을 정도로 사용법이 간단해서\n\n이 버전에서는 생략합니다. ^^;\n\n"), 0x40);
}

void TFormMain::N2Click()
{
    close();
}

void TFormMain::contextMenuEvent(QContextMenuEvent* event)
{
    PopupMenuTray->popup(event->globalPos());
    event->accept();
}

void TFormMain::RemoveFromMagnetic(QWidget* window)
{
    if (m_docking)
        m_docking->RemoveWindow(window);
}

// A move the window system reports may carry a position relative to the window manager's
// frame; the X server's own answer settles it.
void TFormMain::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (event->spontaneous())
        m_placement.Moved();
}

void TFormMain::StorePlayListGeometry()
{
    if (!m_playList)
        return;
    const QRect frame = m_playList->WindowGeometry();
    m_settings.PlayListX = frame.x();
    m_settings.PlayListY = frame.y();
    m_settings.PlayListW = frame.width();
    m_settings.PlayListH = frame.height();
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        SyncPositionWithWindowSystem(this);  // the place stored at exit is where the window stands
        Timer1.stop();
        TimerPosition.stop();
        disconnect(&m_transport, nullptr, this, nullptr);
        m_settings.ViewPlayList = m_playList && m_playList->IsWindowVisible();
        StoreSettings();
        if (OnClosing)
            OnClosing();
        m_settingsSaved = true;
        m_app.SaveSettings(m_settings);
        // The program runs until the player window closes; a tool window alone does not
        // end Qt's event loop. Not quit(): that first asks every window to close, and the
        // playlist window answers a close by hiding, which would cancel the quit.
        QCoreApplication::exit(0);
    }
    event->accept();
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    // The strip's panels, pictures and bars open the popup menu when the right button is
    // let go (below), not when it is pressed.
    if (type == QEvent::ContextMenu)
        return true;
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseMove
        || type == QEvent::MouseButtonRelease || type == QEvent::MouseButtonDblClick;
    if (!mouse)
        return QWidget::eventFilter(watched, event);
    if (type == QEvent::MouseButtonDblClick)
        return true;
    if (watched == ImgVolume || watched == ShapeVolume)
        return HandleBar(ShapeVolume, watched, event);
    if (watched == ImgPosition || watched == ShapePosition)
        return HandleBar(ShapePosition, watched, event);
    if (watched == Panel1 || watched == PanelBack || watched == LTime) {
        // The X server's idea of where the strip stands is the one a drag starts from.
        if (type == QEvent::MouseButtonPress)
            SyncPositionWithWindowSystem(this);
        DriveMoveLoop(m_moveLoop, this, event);
    }
    // The right button, let go anywhere on the strip, opens the popup menu, as the
    // desktop's context-menu request does after a press that may have moved the window.
    if (type == QEvent::MouseButtonRelease && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton
        && !m_moveLoop.Active())
        PopupMenuTray->popup(static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
    return true;  // pictures and labels keep their presses: no window move from them
}
