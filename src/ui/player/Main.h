#pragma once
// The player window: a borderless, always-on-top strip of 218 x 49 without a taskbar
// button. It owns the stream player, plays, pauses, stops and advances songs, drives the
// seek and volume knobs, the clock, the labels and the scrolling title, and moves when
// dragged. Window thread only.

#include "Bars.h"
#include "FrameSink.h"
#include "MoveLoop.h"

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

class IPlayListLink;
class QLabel;
class QLineEdit;
class QPushButton;
class TPanel;
class TdxButton;
class TdxToolButton;

// A filled rectangle with a one-pixel black outline (the bars' tracks).
class TShape : public QWidget {
    Q_OBJECT
public:
    explicit TShape(QWidget* parent, const QColor& brush = Qt::white);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_brush;
};

struct TMainState {
    bool bTopMost = true;
    bool bFirstActivate = true;
};

class TFormMain : public QWidget {
    Q_OBJECT
public:
    // Loads the settings, builds the strip, creates the stream player and its thread.
    explicit TFormMain(IPlayListLink* playList = nullptr);
    // Stores the geometry and the volume knob in the settings and writes them.
    ~TFormMain() override;

    void SetPlayList(IPlayListLink* playList) { m_playList = playList; }
    // The docking manager's entry into the move loop.
    void SetMoveHook(IMoveSizeHook* hook) { m_moveLoop.SetHook(hook); }
    // Chooses files for dxButton3; the default shows the open-file dialog. Tests replace it.
    std::function<QStringList()> ChooseFiles;

    // --- transport ---
    bool PlayFile(const QString& path);
    void PlayNextSong();
    // Null sender: the playlist's play request, always from the beginning of the current song.
    void BPlayClick(QObject* sender);
    void BStopClick(QObject* sender);
    void BPlayListClick(QObject* sender);
    void dxButton3Click(QObject* sender);

    // --- bars, clock, labels ---
    void ApplyVolume();
    void SeekToKnob();
    void ShowStreamInfo(int kbps, int khz);
    void ScrollTitle(bool reset);
    void TimerPositionTimer();
    void Timer1Timer();

    // The first activation: shows the playlist window when the settings say so.
    void FirstActivate();

    TMainState MainState;

    // Components, by their design names (also their object names).
    TPanel* PanelBack = nullptr;
    QLabel* Image4 = nullptr;
    TPanel* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* LKBPS = nullptr;
    QLabel* LFrequency = nullptr;
    QLabel* LTime = nullptr;
    TdxButton* BPlay = nullptr;
    TdxButton* BStop = nullptr;
    TdxButton* dxButton1 = nullptr;
    QLabel* Image3 = nullptr;
    TShape* ShapeVolume = nullptr;
    QLabel* ImgVolume = nullptr;
    TShape* ShapePosition = nullptr;
    QLabel* ImgPosition = nullptr;
    TdxToolButton* BToTray = nullptr;
    TdxToolButton* dxToolButton2 = nullptr;
    TdxButton* BPlayList = nullptr;
    TPanel* PanelTitleBack = nullptr;
    QLabel* LTitle = nullptr;
    // Outside the visible strip.
    TdxButton* BPlayImg = nullptr;
    TdxButton* BPauseImg = nullptr;
    TdxButton* dxButton3 = nullptr;
    QLabel* ImgSpectrumBack = nullptr;
    QLabel* ImgSpectrumBack2 = nullptr;
    QLabel* ImgSpectrumBack3 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QTimer Timer1;
    QTimer TimerPosition;

    // BPlay's tag: 1 while its play glyph stands for a paused song, else 0.
    int BPlayTag() const;
    const QImage& SpectrumBack() const { return m_spectrumBack; }
    SpectrumFrameSink& FrameSink() { return m_frameSink; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildComponents();
    void BuildHiddenComponents();
    bool HandleKnob(QLabel* knob, QEvent* event);
    bool HandleTrack(TShape* track, QEvent* event);
    bool HandleMove(QEvent* event);
    KnobBar& BarOf(QObject* control);
    void SyncBars();
    void ShowPlayGlyph(bool play);
    void PublishTransport();
    // The timers run while a stream is open; otherwise they tick once and rest.
    void SyncTimers();
    void StorePlayListGeometry();

    IPlayListLink* m_playList = nullptr;
    WindowMoveLoop m_moveLoop;
    KnobBar m_volumeBar{132, 67, 12, 162};
    KnobBar m_positionBar{63, 136, 12, 63};
    bool m_showsPlayGlyph = true;
    QImage m_spectrumBack;                      // 32-bit, top row first, for painting
    std::array<std::uint8_t, SpectrumFrameSink::kBytes> m_backBits{};  // bottom row first, for the thread
    SpectrumFrameSink m_frameSink;
    bool m_closed = false;
};
