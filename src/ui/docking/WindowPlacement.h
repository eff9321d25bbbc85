#pragma once
// The window system's side of placing a top-level window, in logical pixels.
//
// On X11 a reparenting window manager can leave Qt with a wrong idea of where a window
// stands: a configure notification relative to the manager's frame arrives as a move to
// (0, 0) while the window stays where it was put. WindowSystemPosition asks the X server
// itself (in device pixels); SyncPositionWithWindowSystem corrects Qt's idea when the two
// differ, comparing in logical pixels of the window's screen.
//
// Windows that dock to one another (the docking manager's windows) are placed with
// PlaceWindow: where one touches another in logical pixels it touches it in device pixels
// too, at any desktop scale (see DevicePixels.h), and LogicalWindowRect gives back the
// logical rectangle the program placed it at, not Qt's rounding of its device place.

#include "DevicePixels.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QTimer>

#include <optional>

class QWidget;

// The work areas of the screens (screen minus panels and docks), the primary screen's first.
QList<QRect> ScreenWorkAreas();

// The scale of the screen the window stands on (or of the primary screen).
ScreenScale ScaleOf(const QWidget* window);

// Where the window's top-left corner stands on the X server, in device pixels of the root
// window; empty on other platforms and for a window that has no native window yet.
std::optional<QPoint> WindowSystemPosition(const QWidget* window);

// When the window system knows another position for `window` than Qt does, tells Qt
// (through a move to where the window already is). Returns true when it corrected.
// Not while a place the program gave the window may still be on its way.
bool SyncPositionWithWindowSystem(QWidget* window);

// Makes `window` one of the windows that dock to one another; it stays one until it is
// destroyed.
void RegisterDockedWindow(QWidget* window);

// Moves (and, when `resizing`, resizes) a top-level window to the logical rectangle
// `logical`. Each edge it shares with another visible docked window is put on that
// window's device edge. `leader`, when given, is a docked window about to be moved to
// `leaderRect` in the same step (its glued windows are placed first): they are aligned
// with where it is going.
void PlaceWindow(QWidget* window, const QRect& logical, bool resizing = false, const QWidget* leader = nullptr,
                 const QRect& leaderRect = {});

// The logical rectangle the window stands at: where PlaceWindow put it while it stays
// there, else Qt's own idea.
QRect LogicalWindowRect(const QWidget* window);

// Once the window manager has settled: Qt's idea of the position is checked
// (SyncPositionWithWindowSystem), a window the manager sized otherwise than PlaceWindow
// asked gets its size, and a docked window that touches another is put on its device edge.
// True when the window system has not caught up with the program's latest place yet:
// ask again later.
bool SettlePlace(QWidget* window);

// A window manager places a new window's frame in steps, and a move reported halfway
// can be relative to a frame that moves once more without a further notice to the
// window (seen under openbox: now and then the strip believed (0, 0) for good). So every
// move the window system reports, and every showing, is checked at once and once more
// when the manager has settled; then a docked window touching another is brought onto
// its device edge. One short timer per report; nothing runs in between.
class PositionSettler {
public:
    explicit PositionSettler(QWidget* window);
    // From moveEvent for spontaneous moves, and from showEvent.
    void Moved();

private:
    static constexpr int kSettleMs = 150;
    QWidget* m_window;
    QTimer m_again;
};
