#pragma once
// The player window: a borderless, always-on-top strip of 218 x 49 without a taskbar
// button. Its buttons and knobs ask the transport it is given to play, pause, stop,
// advance, seek and set the volume, and it draws what the transport reports: the glyph,
// the seek knob, the clock, the labels and the scrolling title, and the spectrum frames
// of the sink it is given. It moves when dragged. Window thread only.

#include "Bars.h"
#include "KnobTrack.h"
#include "FrameSink.h"
#include "Magnetic.h"
#include "MoveLoop.h"
#include "WindowPlacement.h"
#include "StripLabel.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class CMain;
class IPlayListLink;
struct G_STRUCT_tag;
class MagneticRouter;
class Transport;
class QMenu;
class QAction;
class TTrayIcon;
class QLabel;
class TPanel;
class TdxButton;
class TdxToolButton;
class VisibilityWatch;

struct TMainState {
    bool bTopMost = true;
    bool bFirstActivate = true;
};

class TFormMain : public QWidget {
    Q_OBJECT
public:
    // Loads the settings into `settings` through `app` and builds the strip over the
    // engine's transport and the sink its spectrum thread draws into; all four must
    // outlive the window.
    TFormMain(Transport& transport, SpectrumFrameSink& spectrum, G_STRUCT_tag& settings, CMain& app,
              IPlayListLink* playList = nullptr);
    // Stores the geometry and the volume knob in the settings and writes them.
    ~TFormMain() override;

    void SetPlayList(IPlayListLink* playList) { m_playList = playList; }
    // The docking manager the strip registers with at its first showing, and the playlist
    // window at the first activation; null for none. It must outlive the window.
    void SetDocking(TMagnetic* docking) { m_docking = docking; }
    // Unregisters a window from the docking manager, when there is one.
    void RemoveFromMagnetic(QWidget* window);
    Transport& TransportOf() { return m_transport; }
    // The docking manager's entry into the move loop.
    void SetMoveHook(IMoveSizeHook* hook) { m_moveLoop.SetHook(hook); }
    // Chooses files for dxButton3; the default shows the open-file dialog. Tests replace it.
    std::function<QStringList()> ChooseFiles;

    // --- transport: each asks the transport ---
    bool PlayFile(const QString& path);
    void PlayNextSong();
    // Play or pause.
    void BPlayClick(QObject* sender);
    void BStopClick(QObject* sender);
    void BPlayListClick(QObject* sender);
    void dxButton3Click(QObject* sender);

    // --- bars, clock, labels ---
    // The volume knob's place becomes the transport's volume.
    void ApplyVolume();
    // The seek knob's place becomes the transport's position (where play goes on, while
    // paused or stopped).
    void SeekToKnob();
    void ShowStreamInfo(int kbps, int khz);
    void ScrollTitle(bool reset);
    // The seek knob to the position heard (unless the user holds it) and the title one
    // step on; then again when the knob next moves a pixel, or the title scrolls.
    void TimerPositionTimer();
    // The clock to the position heard; then again at its next whole second.
    void Timer1Timer();

    // The first activation: shows the playlist window when the settings say so and glues
    // it to the strip.
    void FirstActivate();
    // Message 1025, a second start's hand-over: a hidden (or minimised) player comes back.
    void HandOverMessage();
    // Brings the player back, with the playlist window when it was showing as the player
    // was hidden.
    void RestoreFromTray();
    // `BToTray`: hides the player and the playlist window to the notification area. Where
    // the desktop has none, both are minimised instead (the strip then has a task-switcher
    // entry until it comes back), and stderr says so once.
    void BToTrayClick(QObject* sender);
    // The popup menu's items: the about box, the help notice, the end.
    void N4Click();
    void N5Click();
    void N2Click();

    // The notification-area icon; null without one (set by whoever builds the program).
    TTrayIcon* TrayIcon = nullptr;
    // Shows the about box modally; tests replace it.
    std::function<void()> ShowAbout;
    // Runs when the window closes for good, before the settings are written and while
    // both windows still show: the program writes its lists here, so that what cannot
    // be written is said before the windows go.
    std::function<void()> OnClosing;

    // The docking manager's callback, from the first registration on; null before.
    TSubclassProc MagneticProc = nullptr;
    // The handled flag of the messages passed on to the docking manager.
    bool bMagneticHandled = false;
    bool bPlayListWasVisible = false;

    TMainState MainState;

    // Components, by their design names (also their object names).
    TPanel* PanelBack = nullptr;
    QLabel* Image4 = nullptr;
    TPanel* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    StripLabel* LKBPS = nullptr;
    StripLabel* LFrequency = nullptr;
    StripLabel* LTime = nullptr;
    TdxButton* BPlay = nullptr;
    TdxButton* BStop = nullptr;
    TdxButton* dxButton1 = nullptr;
    QLabel* Image3 = nullptr;
    KnobTrack* ShapeVolume = nullptr;
    QLabel* ImgVolume = nullptr;
    KnobTrack* ShapePosition = nullptr;
    QLabel* ImgPosition = nullptr;
    TdxToolButton* BToTray = nullptr;
    TdxToolButton* dxToolButton2 = nullptr;
    TdxButton* BPlayList = nullptr;
    TPanel* PanelTitleBack = nullptr;
    StripLabel* LTitle = nullptr;
    // Outside the visible strip.
    TdxButton* BPlayImg = nullptr;
    TdxButton* BPauseImg = nullptr;
    TdxButton* dxButton3 = nullptr;
    QLabel* ImgSpectrumBack = nullptr;
    QLabel* ImgSpectrumBack2 = nullptr;
    QLabel* ImgSpectrumBack3 = nullptr;
    StripLabel* Label1 = nullptr;
    StripLabel* Label2 = nullptr;
    StripLabel* Label3 = nullptr;
    QTimer Timer1;
    QTimer TimerPosition;
    static constexpr int SkipNoticeMs = 5000;
    QMenu* PopupMenuTray = nullptr;
    QAction* N4 = nullptr;
    QAction* N5 = nullptr;
    QAction* N3 = nullptr;
    QAction* N2 = nullptr;
    QAction* NReplayGain = nullptr;  // checked: songs play at their ReplayGain

    // BPlay's tag: 1 while paused, else 0.
    int BPlayTag() const;
    const QImage& SpectrumBack() const { return m_spectrumBack; }
    // The same picture as the spectrum thread draws on: BGRA, bottom row first; null when
    // the picture could not be loaded.
    const std::uint8_t* SpectrumBackBits() const { return m_hasBackBits ? m_backBits.data() : nullptr; }
    SpectrumFrameSink& FrameSink() { return m_frameSink; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildComponents();
    void BuildHiddenComponents();
    // A mouse event on a bar's knob or track: the knob follows, then the volume or the
    // position does.
    bool HandleBar(KnobTrack* track, QObject* watched, QEvent* event);
    // Keyboard and screen-reader access to the two bars.
    void SetVolumePercent(double percent);
    void SetPositionSeconds(double seconds);
    void ConnectBars();
    // After a click, the design moves the focus to the tray button; a click by the
    // keyboard or a screen reader leaves it on the button that was pressed.
    void FocusTrayAfterMouseClick(QObject* sender);
    // What the transport reports, drawn: the glyph, the title and labels of a new song,
    // the clock and the knob; the timers run only while a song is heard.
    void ShowTransportState();
    void ShowSong();
    // The title strip: the song's file name, or for SkipNoticeMs after a song that could
    // not be played was passed over, a notice naming that song.
    void ShowTitle();
    void ShowSkipped(const QString& path);
    void ShowPosition();
    // Whether the listener can see the strip at all (not hidden, minimised or covered).
    void SeenChanged(bool seen);
    void ShowClock();
    void ShowKnob();
    void ScheduleClock();
    void ScheduleKnob();
    void MoveVolumeKnobToTransport();
    void StorePlayListGeometry();
    // Copies the windows' places and the volume knob into the settings.
    void StoreSettings();
    // Writes the settings with the song heard now, so that a crash or a logout loses
    // little of where the listener was: at each song and each pause.
    void RememberSong();

    Transport& m_transport;
    SpectrumFrameSink& m_frameSink;
    G_STRUCT_tag& m_settings;
    CMain& m_app;
    IPlayListLink* m_playList = nullptr;
    TMagnetic* m_docking = nullptr;
    WindowMoveLoop m_moveLoop;
    PositionSettler m_placement{this};
    std::unique_ptr<MagneticRouter> m_magneticRouter;
    std::unique_ptr<MagneticRouter> m_playListRouter;
    // The strip lost its tool-window style to be reachable while minimised.
    bool m_minimisedWithoutTray = false;
    QImage m_spectrumBack;                      // 32-bit, top row first, for painting
    std::array<std::uint8_t, SpectrumFrameSink::kBytes> m_backBits{};  // bottom row first, for the thread
    bool m_hasBackBits = false;
    bool m_closed = false;
    bool m_settingsSaved = false;
    QTimer m_skipNotice;  // runs while the title strip tells of a song passed over
    VisibilityWatch* m_visibility = nullptr;  // a child, made with the window
};
