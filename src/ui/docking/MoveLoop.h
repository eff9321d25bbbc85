#pragma once
// The program's own move and size loops for its frameless windows: a press starts one
// (enter), every pointer move proposes a new window rectangle that a hook (the docking
// manager) may change before the window takes it (moving / sizing), the release ends
// it (exit). Window thread only.

#include <QPoint>
#include <QRect>

#include <optional>

class QEvent;
class QWidget;

// Which edge or corner a size loop drags; the numbers are the sizing messages' edge
// codes, which the docking manager keys on.
enum class SizeEdge : int {
    None = 0,
    Left = 1,
    Right = 2,
    Top = 3,
    TopLeft = 4,
    TopRight = 5,
    Bottom = 6,
    BottomLeft = 7,
    BottomRight = 8,
};

class IMoveSizeHook {
public:
    virtual ~IMoveSizeHook() = default;
    virtual void EnterSizeMove() = 0;
    // May change `proposed`. Returning false keeps the window where it is.
    virtual bool Moving(QRect& proposed) = 0;
    // The same for a size loop dragging `edge`. The default takes the rectangle as it is.
    virtual bool Sizing(SizeEdge edge, QRect& proposed)
    {
        (void)edge;
        (void)proposed;
        return true;
    }
    virtual void ExitSizeMove() = 0;
};

class WindowMoveLoop {
public:
    void SetHook(IMoveSizeHook* hook) { m_hook = hook; }
    bool Active() const { return m_active; }

    // Press at a global pointer position while the window has `frame`.
    void Begin(QPoint globalPointer, QRect frame);
    // Pointer now at `globalPointer`. Returns true and sets `result` to the rectangle the
    // window should take; false when the window should stay (also when the pointer has
    // not moved since the last call).
    bool Move(QPoint globalPointer, QRect& result);
    void End();

private:
    IMoveSizeHook* m_hook = nullptr;
    bool m_active = false;
    QPoint m_grab;      // pointer minus window origin at the press
    QPoint m_pointer;   // where the pointer was last
    QRect m_start;
};

// The pointer position of the move or size loop's current step, while one runs: the
// docking manager reads "the cursor" at each step, and that must be the pointer the step
// was made for (asking the window system again gives a later, or on a busy desktop an
// earlier, position). Empty while no loop runs.
std::optional<QPoint> LoopPointer();

// Drives `loop` from a mouse event on one of the handles `window` is moved by: a press of
// any button starts it, moves move the window, the release of the last button ends it.
// True when the event was a mouse press, move, release or double click (all of them
// are the handle's: a double click does nothing).
bool DriveMoveLoop(WindowMoveLoop& loop, QWidget* window, QEvent* event);

// The edge under a point of a window of `size`, given the width of its sizing border.
SizeEdge EdgeAt(QPoint local, QSize size, int border);

class WindowSizeLoop {
public:
    void SetHook(IMoveSizeHook* hook) { m_hook = hook; }
    bool Active() const { return m_active; }
    SizeEdge Edge() const { return m_edge; }

    // Smallest size a drag may give the window.
    void SetMinimumSize(QSize size) { m_minimum = size; }

    void Begin(SizeEdge edge, QPoint globalPointer, QRect frame);
    // The dragged edges follow the pointer; the opposite ones stay. Returns true and sets
    // `result` when the window should take a new rectangle (not when the pointer has not
    // moved since the last call).
    bool Move(QPoint globalPointer, QRect& result);
    void End();

private:
    IMoveSizeHook* m_hook = nullptr;
    bool m_active = false;
    SizeEdge m_edge = SizeEdge::None;
    QPoint m_press;
    QPoint m_pointer;
    QRect m_start;
    QSize m_minimum{1, 1};
};
