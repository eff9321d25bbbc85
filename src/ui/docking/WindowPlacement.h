#pragma once
// The window system's side of placing a top-level window.
//
// On X11 a reparenting window manager can leave Qt with a wrong idea of where a window
// stands: a configure notification relative to the manager's frame arrives as a move to
// (0, 0) while the window stays where it was put. WindowSystemPosition asks the X server
// itself; SyncPositionWithWindowSystem corrects Qt's idea when the two differ.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QTimer>

#include <optional>

class QWidget;

// The work areas of the screens (screen minus panels and docks), the primary screen's first.
QList<QRect> ScreenWorkAreas();

// Where the window's top-left corner stands on the X server, in root coordinates; empty
// on other platforms and for a window that has no native window yet.
std::optional<QPoint> WindowSystemPosition(const QWidget* window);

// When the window system knows another position for `window` than Qt does, tells Qt
// (through a move to where the window already is). Returns true when it corrected.
bool SyncPositionWithWindowSystem(QWidget* window);

// A window manager places a new window's frame in steps, and a move reported halfway
// can be relative to a frame that moves once more without a further notice to the
// window (seen under openbox: now and then the strip believed (0, 0) for good). So every
// move the window system reports, and every showing, is checked at once and once more
// when the manager has settled. One short timer per report; nothing runs in between.
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
