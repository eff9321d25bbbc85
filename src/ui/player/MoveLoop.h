#pragma once
// The program's own move loop for its frameless windows: a press starts it, every
// pointer move proposes a new window rectangle, the release ends it. A hook (the
// docking manager) sees the start, may change each proposed rectangle, and sees the end.

#include <QPoint>
#include <QRect>

class IMoveSizeHook {
public:
    virtual ~IMoveSizeHook() = default;
    virtual void EnterSizeMove() = 0;
    // May change `proposed`. Returning false keeps the window where it is.
    virtual bool Moving(QRect& proposed) = 0;
    virtual void ExitSizeMove() = 0;
};

class WindowMoveLoop {
public:
    void SetHook(IMoveSizeHook* hook) { m_hook = hook; }
    bool Active() const { return m_active; }

    // Press at a global pointer position while the window has `frame`.
    void Begin(QPoint globalPointer, QRect frame);
    // Pointer now at `globalPointer`. Returns true and sets `result` to the rectangle the
    // window should take; false when the window should stay.
    bool Move(QPoint globalPointer, QRect& result);
    void End();

private:
    IMoveSizeHook* m_hook = nullptr;
    bool m_active = false;
    QPoint m_grab;      // pointer minus window origin at the press
    QRect m_start;
};
