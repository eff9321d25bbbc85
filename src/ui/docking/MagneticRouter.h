#pragma once
// The docking manager on Qt: `QtWindowSystem` answers the manager's questions about real
// windows, and `MagneticRouter` turns what happens to one window into the messages the
// manager's callback expects: the program's own move and size loop (enter, each proposed
// rectangle, exit), showing and hiding, minimising and restoring. Window thread only.

#include "Magnetic.h"
#include "MoveLoop.h"

#include <QObject>
#include <QPointer>

class QEvent;
class QWidget;

class QtWindowSystem : public IWindowSystem {
public:
    bool IsWindow(HWND hWnd) const override;
    bool IsWindowVisible(HWND hWnd) const override;
    bool IsZoomed(HWND hWnd) const override;
    // Where the program placed the window, in logical pixels (see LogicalWindowRect).
    TRect GetWindowRect(HWND hWnd) const override;
    // The available area of the screen the cursor is on: on screens of different scales
    // each has its own logical pixels, and the one being dragged on is the one that counts.
    TRect WorkArea() const override;
    // The pointer of the move or size loop's current step (LoopPointer), else the cursor.
    TPoint CursorPos() const override;
    // Glued windows keep touching their leader in device pixels too (see PlaceWindow).
    void MoveWindows(const std::vector<std::pair<HWND, TPoint>>& moves, HWND leader, const TRect& leaderRect) override;
};

class MagneticRouter : public QObject, public IMoveSizeHook {
    Q_OBJECT
public:
    // `proc` is where the window's owner keeps the callback `AddWindow` handed out (null
    // until then: nothing is routed). `handled`, when given, receives the handled flag of
    // the messages that are only passed on.
    // The window becomes one of the docked windows (RegisterDockedWindow).
    MagneticRouter(QWidget* window, const TSubclassProc* proc, bool* handled = nullptr);

    // Sends one message; true when a callback took it.
    bool Send(std::uint32_t message, std::int32_t wParam, std::intptr_t lParam, bool& handled);

    void EnterSizeMove() override;
    bool Moving(QRect& proposed) override;
    bool Sizing(SizeEdge edge, QRect& proposed) override;
    void ExitSizeMove() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Propose(std::uint32_t message, std::int32_t wParam, QRect& proposed);
    void PassOn(std::uint32_t message, std::int32_t wParam, std::intptr_t lParam);

    QPointer<QWidget> m_window;
    const TSubclassProc* m_proc;
    bool* m_handled;
};
