// The program's move loop on real widgets with the docking manager: a window dragged by
// the pointer of each mouse event, taking its glued window along.

#include "MagneticRouter.h"
#include "MoveLoop.h"
#include "WindowPlacement.h"
#include "support/QtApplication.h"

#include <QCursor>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

void SendMouse(QWidget* handle, QEvent::Type type, QPoint global, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(handle->mapFromGlobal(global)), QPointF(global), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    DriveMoveLoop(*static_cast<WindowMoveLoop*>(handle->property("loop").value<void*>()), handle, &event);
}

} // namespace

// The manager reads "the cursor" at every step. That is the pointer of the event the step
// is made for: asking the window system instead gave a position a step behind on a busy
// desktop, and the strip trailed the pointer and stopped short of where it was let go.
TEST(MoveLoop, DragFollowsEachEventsPointerAndTakesTheGluedWindowAlong)
{
    EnsureQtApplication();
    QWidget strip(nullptr, Qt::FramelessWindowHint | Qt::Tool);
    QWidget list(nullptr, Qt::FramelessWindowHint | Qt::Tool);
    PlaceWindow(&strip, {200, 100, 218, 49});
    PlaceWindow(&list, {200, 149, 300, 300}, true);
    strip.show();
    list.show();

    QtWindowSystem system;
    TMagnetic manager(system);
    manager.SetSnapWidth(9);
    TSubclassProc proc;
    bool handled = false;
    MagneticRouter stripRouter(&strip, &proc, &handled);
    MagneticRouter listRouter(&list, &proc);
    ASSERT_TRUE(manager.AddWindow(&strip, nullptr, proc));
    ASSERT_TRUE(manager.AddWindow(&list, &strip, proc));
    ASSERT_TRUE(manager.WndInfo(2).Glued);

    WindowMoveLoop loop;
    loop.SetHook(&stripRouter);
    strip.setProperty("loop", QVariant::fromValue(static_cast<void*>(&loop)));
    QCursor::setPos(5, 5);  // wherever the window system's cursor is, the events count
    const QPoint grab(231, 111);
    SendMouse(&strip, QEvent::MouseButtonPress, grab, Qt::LeftButton);
    for (int step = 1; step <= 4; ++step) {
        SendMouse(&strip, QEvent::MouseMove, grab + QPoint(10 * step, 7 * step), Qt::LeftButton);
        EXPECT_EQ(LogicalWindowRect(&strip).topLeft(), QPoint(200 + 10 * step, 100 + 7 * step)) << "step " << step;
        EXPECT_EQ(LogicalWindowRect(&list).topLeft(), QPoint(200 + 10 * step, 149 + 7 * step)) << "step " << step;
    }
    // Let go further on than the last move reported: the window goes where it was let go.
    SendMouse(&strip, QEvent::MouseButtonRelease, grab + QPoint(50, 35), Qt::NoButton);
    EXPECT_EQ(LogicalWindowRect(&strip).topLeft(), QPoint(250, 135));
    EXPECT_EQ(LogicalWindowRect(&list).topLeft(), QPoint(250, 184));
    EXPECT_FALSE(loop.Active());
    EXPECT_FALSE(LoopPointer());
}
