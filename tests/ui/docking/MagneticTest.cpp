// The docking manager's geometry on windows made of numbers: snapping while moving and
// sizing, glueing, and the registry.

#include "Magnetic.h"

#include <gtest/gtest.h>

#include <map>

namespace {

struct FakeWindow {
    TRect Rect;
    bool Visible = true;
    bool Zoomed = false;
};

class FakeWindows : public IWindowSystem {
public:
    bool IsWindow(HWND h) const override { return windows.count(h) != 0; }
    bool IsWindowVisible(HWND h) const override { return IsWindow(h) && windows.at(h).Visible; }
    bool IsZoomed(HWND h) const override { return IsWindow(h) && windows.at(h).Zoomed; }
    TRect GetWindowRect(HWND h) const override { return IsWindow(h) ? windows.at(h).Rect : TRect{}; }
    TRect WorkArea() const override { return work; }
    TPoint CursorPos() const override { return cursor; }
    void MoveWindows(const std::vector<std::pair<HWND, TPoint>>& moves, HWND, const TRect&) override
    {
        for (const auto& [h, at] : moves) {
            TRect& r = windows.at(h).Rect;
            r.Offset(at.X - r.Left, at.Y - r.Top);
        }
        ++batches;
    }

    std::map<HWND, FakeWindow> windows;
    TRect work{0, 0, 1024, 738};
    TPoint cursor;
    int batches = 0;
};

HWND handle(int n)
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(n) * 64);
}

class MagneticTest : public ::testing::Test {
protected:
    HWND Add(int n, TRect rect, HWND parent = nullptr)
    {
        system.windows[handle(n)] = {rect};
        TSubclassProc proc;
        EXPECT_TRUE(manager.AddWindow(handle(n), parent, proc));
        EXPECT_TRUE(proc);
        procs[handle(n)] = proc;
        return handle(n);
    }
    // What the window's owner does with each message: hands it to the window's callback.
    bool Call(HWND h, std::uint32_t message, TMessage& record, bool& handled)
    {
        return procs.at(h)(h, message, record, handled);
    }
    void Send(HWND h, std::uint32_t message, std::int32_t wParam = 0, std::intptr_t lParam = 0)
    {
        TMessage record{message, wParam, lParam, 0};
        bool handled = true;
        ASSERT_TRUE(Call(h, message, record, handled));
    }
    // A drag of `h` grabbed at `from` to `to`; returns the rectangle the window would take.
    TRect Drag(HWND h, TPoint from, TPoint to)
    {
        system.cursor = from;
        Send(h, WM_ENTERSIZEMOVE);
        system.cursor = to;
        TRect rect = system.windows[h].Rect;
        rect.Offset(to.X - from.X, to.Y - from.Y);
        TMessage record{WM_MOVING, 0, reinterpret_cast<std::intptr_t>(&rect), 0};
        bool handled = false;
        Call(h, WM_MOVING, record, handled);
        EXPECT_TRUE(handled);
        EXPECT_EQ(record.Result, 1);
        system.windows[h].Rect = rect;
        Send(h, WM_EXITSIZEMOVE);
        return rect;
    }
    TRect Size(HWND h, int edge, TRect proposed)
    {
        Send(h, WM_ENTERSIZEMOVE);
        TMessage record{WM_SIZING, edge, reinterpret_cast<std::intptr_t>(&proposed), 0};
        bool handled = false;
        Call(h, WM_SIZING, record, handled);
        EXPECT_TRUE(handled);
        return proposed;
    }
    bool Glued(HWND h) const
    {
        for (int i = 1; i <= manager.WndCount(); ++i)
            if (manager.WndInfo(i).hWnd == h)
                return manager.WndInfo(i).Glued;
        return false;
    }

    FakeWindows system;
    TMagnetic manager{system};
    std::map<HWND, TSubclassProc> procs;
};

TEST_F(MagneticTest, SnapsToTheWorkAreaWithinTheStrictDistance)
{
    manager.SetSnapWidth(9);
    const HWND w = Add(1, {100, 200, 400, 300});
    EXPECT_EQ(Drag(w, {150, 250}, {55, 250}), (TRect{0, 200, 300, 300}));
    system.windows[w].Rect = {100, 200, 400, 300};
    EXPECT_EQ(Drag(w, {150, 250}, {59, 250}), (TRect{9, 200, 309, 300}));
    system.windows[w].Rect = {100, 200, 400, 300};
    EXPECT_EQ(Drag(w, {150, 250}, {58, 250}), (TRect{0, 200, 300, 300}));
    // The bottom edge against the work area's bottom.
    system.windows[w].Rect = {100, 200, 400, 300};
    EXPECT_EQ(Drag(w, {150, 250}, {150, 680}), (TRect{100, 638, 400, 738}));
}

TEST_F(MagneticTest, NoSnapWidthNoSnapping)
{
    for (int width : {0, -3}) {
        manager.SetSnapWidth(width);
        const HWND w = Add(1 + width + 10, {100, 200, 400, 300});
        EXPECT_EQ(Drag(w, {150, 250}, {50, 250}), (TRect{0, 200, 300, 300})) << "flush is not snapping";
        system.windows[w].Rect = {100, 200, 400, 300};
        EXPECT_EQ(Drag(w, {150, 250}, {52, 251}), (TRect{2, 201, 302, 301}));
    }
}

TEST_F(MagneticTest, PositionComesFromTheCursorNotTheProposal)
{
    manager.SetSnapWidth(9);
    const HWND w = Add(1, {300, 300, 400, 400});
    system.cursor = {310, 310};
    Send(w, WM_ENTERSIZEMOVE);
    system.cursor = {510, 420};
    TRect proposed{0, 0, 100, 100};
    TMessage record{WM_MOVING, 0, reinterpret_cast<std::intptr_t>(&proposed), 0};
    bool handled = false;
    Call(w, WM_MOVING, record, handled);
    EXPECT_EQ(proposed, (TRect{500, 410, 600, 510}));
}

TEST_F(MagneticTest, LaterSlotWinsOnOneAxis)
{
    manager.SetSnapWidth(9);
    Add(1, {0, 100, 4, 500});  // a thin window whose right edge is 4 from the screen's left
    const HWND w = Add(2, {300, 200, 400, 300});
    EXPECT_EQ(Drag(w, {300, 200}, {2, 200}).Left, 4);
}

TEST_F(MagneticTest, MaximisedAndHiddenWindows)
{
    manager.SetSnapWidth(9);
    system.work = {0, 0, 800, 600};
    const HWND big = Add(1, {50, 50, 60, 60});
    system.windows[big].Zoomed = true;
    const HWND hidden = Add(2, {500, 0, 520, 600});
    system.windows[hidden].Visible = false;
    const HWND w = Add(3, {200, 200, 300, 300});
    // The maximised window stands for the work area; the hidden one is no target.
    EXPECT_EQ(Drag(w, {200, 200}, {395, 200}).Left, 395);
    EXPECT_EQ(Drag(w, {395, 200}, {403, 200}).Left, 403);
    EXPECT_EQ(Drag(w, {403, 200}, {704, 200}).Right, 800);
}

TEST_F(MagneticTest, GluedChildTravelsWithItsParentByItsStartOffset)
{
    manager.SetSnapWidth(9);
    const HWND parent = Add(1, {100, 100, 400, 150});
    const HWND child = Add(2, {100, 150, 400, 450}, parent);
    EXPECT_TRUE(Glued(child));
    system.cursor = {200, 120};
    Send(parent, WM_ENTERSIZEMOVE);
    for (TPoint step : {TPoint{220, 130}, TPoint{250, 140}}) {
        system.cursor = step;
        TRect rect = system.windows[parent].Rect;
        TMessage record{WM_MOVING, 0, reinterpret_cast<std::intptr_t>(&rect), 0};
        bool handled = false;
        Call(parent, WM_MOVING, record, handled);
        system.windows[parent].Rect = rect;
    }
    Send(parent, WM_EXITSIZEMOVE);
    EXPECT_EQ(system.windows[parent].Rect, (TRect{150, 120, 450, 170}));
    EXPECT_EQ(system.windows[child].Rect, (TRect{150, 170, 450, 470}));
    EXPECT_TRUE(Glued(child));
    EXPECT_EQ(system.batches, 2);
}

TEST_F(MagneticTest, GluedChildSnapsToOtherWindowsButNotTheScreenEdge)
{
    manager.SetSnapWidth(9);
    const HWND parent = Add(1, {100, 100, 400, 150});
    Add(2, {100, 150, 400, 450}, parent);
    Add(3, {600, 440, 700, 500});  // a free window right of the child's path
    // The child's right edge would come to 597: it snaps to 600, taking the parent along.
    EXPECT_EQ(Drag(parent, {200, 120}, {397, 120}), (TRect{300, 100, 600, 150}));
    // Near the screen's bottom only the parent's own edges count.
    system.windows[parent].Rect = {100, 100, 400, 150};
    system.windows[handle(2)].Rect = {100, 150, 400, 450};
    manager.CheckGlueing();
    EXPECT_EQ(Drag(parent, {200, 120}, {200, 404}), (TRect{100, 384, 400, 434}));
}

TEST_F(MagneticTest, ContactNeedsASharedCoordinate)
{
    // Each pair far from the others: a parent at (x, 0)-(x + 100, 100) and one child.
    struct Case {
        TRect child;
        bool glued;
    };
    const Case cases[] = {
        {{100, 100, 200, 200}, true},   // corner to corner
        {{0, 50, 80, 160}, true},       // overlapping, left edges flush
        {{20, 20, 80, 80}, false},      // inside, no shared coordinate
        {{101, 0, 200, 100}, false},    // one pixel apart
        {{0, 100, 100, 200}, true},     // flush below
    };
    int n = 0;
    for (const Case& c : cases) {
        const int x = n * 1000;
        const HWND parent = Add(2 * n + 1, {x, 0, x + 100, 100});
        TRect child = c.child;
        child.Offset(x, 0);
        EXPECT_EQ(Glued(Add(2 * n + 2, child, parent)), c.glued) << "case " << n;
        ++n;
    }
}

TEST_F(MagneticTest, GlueCarriesAlongTouchingSiblings)
{
    const HWND parent = Add(1, {0, 0, 100, 100});
    const HWND near = Add(2, {0, 100, 100, 200}, parent);
    const HWND far = Add(3, {0, 200, 100, 300}, parent);
    // Touching a glued window of another parent is not enough.
    const HWND stranger = Add(4, {0, 300, 100, 400}, near);
    EXPECT_TRUE(Glued(near));
    EXPECT_TRUE(Glued(far));
    EXPECT_FALSE(Glued(stranger));
    system.windows[near].Visible = false;
    TWindowPos hidden{SWP_HIDEWINDOW};
    Send(near, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<std::intptr_t>(&hidden));
    EXPECT_FALSE(Glued(near));
    EXPECT_FALSE(Glued(far));
    // A position change that neither shows nor hides checks nothing.
    system.windows[near].Visible = true;
    TWindowPos moved{0};
    Send(near, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<std::intptr_t>(&moved));
    EXPECT_FALSE(Glued(near));
    Send(near, WM_SYSCOMMAND, SC_MINIMIZE | 1);
    EXPECT_FALSE(Glued(near));
    Send(near, WM_SYSCOMMAND, SC_RESTORE);
    EXPECT_TRUE(Glued(near));
}

TEST_F(MagneticTest, Registry)
{
    const HWND a = Add(1, {0, 0, 10, 10}, handle(1));
    EXPECT_EQ(manager.WndInfo(1).hWndParent, nullptr);
    TSubclassProc proc = [](HWND, std::uint32_t, TMessage&, bool&) { return true; };
    EXPECT_FALSE(manager.AddWindow(a, nullptr, proc));
    EXPECT_FALSE(proc);
    EXPECT_FALSE(manager.AddWindow(handle(9), nullptr, proc));
    system.windows[handle(2)] = {{10, 0, 20, 10}};
    EXPECT_FALSE(manager.AddWindow(handle(2), handle(9), proc));
    EXPECT_EQ(manager.WndCount(), 1);

    // A parent that is a window but not registered: the child stays free.
    system.windows[handle(3)] = {{0, 10, 10, 20}};
    EXPECT_TRUE(manager.AddWindow(handle(3), handle(2), proc));
    EXPECT_FALSE(Glued(handle(3)));

    const HWND child = Add(4, {0, 10, 10, 20}, a);
    EXPECT_TRUE(Glued(child));
    EXPECT_TRUE(manager.RemoveWindow(a));
    EXPECT_FALSE(manager.RemoveWindow(a));
    EXPECT_EQ(manager.WndCount(), 2);
    EXPECT_EQ(manager.WndInfo(2).hWnd, child);
    EXPECT_EQ(manager.WndInfo(2).hWndParent, nullptr);
    EXPECT_FALSE(Glued(child));
}

TEST_F(MagneticTest, SizingSnapsTheDraggedEdgesFromTheProposal)
{
    manager.SetSnapWidth(9);
    const HWND parent = Add(1, {100, 100, 400, 150});
    const HWND child = Add(2, {100, 150, 400, 450}, parent);
    Add(3, {700, 0, 800, 738});
    // The parent's right edge dragged near its glued child's right edge... and bottom-right.
    EXPECT_EQ(Size(parent, 2, {100, 100, 405, 150}), (TRect{100, 100, 400, 150}));
    EXPECT_EQ(Size(parent, 8, {100, 100, 694, 155}), (TRect{100, 100, 700, 150}));
    // The child's bottom near the screen's bottom; the left edge is not dragged.
    EXPECT_EQ(Size(child, 6, {95, 150, 400, 731}), (TRect{95, 150, 400, 738}));
    EXPECT_EQ(Size(child, 0, {95, 150, 400, 731}), (TRect{95, 150, 400, 731}));
    // Resizing never moves the glued child.
    EXPECT_EQ(system.batches, 0);
}

TEST(MagneticCallbackAlone, ACallbackOutlivingItsManagerDoesNothing)
{
    FakeWindows system;
    system.windows[handle(1)] = {{0, 0, 10, 10}};
    TSubclassProc proc;
    {
        TMagnetic manager(system);
        ASSERT_TRUE(manager.AddWindow(handle(1), nullptr, proc));
    }
    TRect rect{1, 2, 3, 4};
    TMessage record{WM_MOVING, 0, reinterpret_cast<std::intptr_t>(&rect), 0};
    bool handled = false;
    EXPECT_FALSE(proc(handle(1), WM_MOVING, record, handled));
    EXPECT_FALSE(handled);
    EXPECT_EQ(rect, (TRect{1, 2, 3, 4}));
}

} // namespace
