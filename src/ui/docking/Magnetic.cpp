#include "Magnetic.h"

#include <algorithm>
#include <cstdlib>

TMagnetic::TMagnetic(IWindowSystem& system) : m_system(system) {}

TMagnetic::~TMagnetic() = default;

void TMagnetic::zSubclass_Proc(HWND hWnd, std::uint32_t message, std::int32_t wParam, std::intptr_t lParam,
                               std::int32_t& result, bool& handled)
{
    handled = false;
    switch (message) {
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const TWindowPos*>(lParam);
        if (pos && (pos->flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW)))
            pvCheckGlueing();
        break;
    }
    case WM_COMMAND:
        pvCheckGlueing();
        break;
    case WM_SYSCOMMAND:
        if (wParam == SC_MINIMIZE || wParam == SC_RESTORE)
            pvCheckGlueing();
        break;
    case WM_SIZING:
    case WM_MOVING: {
        auto* proposed = reinterpret_cast<TRect*>(lParam);
        if (!proposed)
            break;
        TRect rect = *proposed;
        if (message == WM_SIZING)
            pvSizeRect(hWnd, rect, wParam);
        else
            pvMoveRect(hWnd, rect);
        *proposed = rect;
        result = 1;
        handled = true;
        break;
    }
    case WM_ENTERSIZEMOVE:
        pvEnterSizeMove(hWnd);
        break;
    case WM_EXITSIZEMOVE:
        pvCheckGlueing();
        break;
    default:
        break;
    }
}

bool TMagnetic::SlotVisible(int slot) const
{
    return slot == 0 || m_system.IsWindowVisible(m_wndInfo[static_cast<std::size_t>(slot)].hWnd);
}

void TMagnetic::pvEnterSizeMove(HWND hWnd)
{
    const TRect work = m_system.WorkArea();
    m_wndRect[0] = work;
    for (int i = 1; i <= m_wndCount; ++i) {
        const HWND window = m_wndInfo[static_cast<std::size_t>(i)].hWnd;
        TRect& rect = m_wndRect[static_cast<std::size_t>(i)];
        rect = m_system.IsZoomed(window) ? work : m_system.GetWindowRect(window);
        if (window == hWnd) {
            ptAnchor = m_system.CursorPos();
            ptLast = m_system.CursorPos();
            ptOffset = {rect.Left - ptLast.X, rect.Top - ptLast.Y};
        }
    }
}

void TMagnetic::SnapEdges(const TRect& r, const TRect& c, int& dx, int& dy) const
{
    const int s = m_snapWidth;
    if (r.Top < c.Bottom + s && r.Bottom > c.Top - s) {
        if (std::abs(r.Left - c.Left) < s)
            dx = c.Left - r.Left;
        if (std::abs(r.Left - c.Right) < s)
            dx = c.Right - r.Left;
        if (std::abs(r.Right - c.Left) < s)
            dx = c.Left - r.Right;
        if (std::abs(r.Right - c.Right) < s)
            dx = c.Right - r.Right;
    }
    if (r.Left < c.Right + s && r.Right > c.Left - s) {
        if (std::abs(r.Top - c.Top) < s)
            dy = c.Top - r.Top;
        if (std::abs(r.Top - c.Bottom) < s)
            dy = c.Bottom - r.Top;
        if (std::abs(r.Bottom - c.Top) < s)
            dy = c.Top - r.Bottom;
        if (std::abs(r.Bottom - c.Bottom) < s)
            dy = c.Bottom - r.Bottom;
    }
}

void TMagnetic::pvMoveRect(HWND hWnd, TRect& rect)
{
    ptCurrent = m_system.CursorPos();
    rect.Offset(ptCurrent.X + ptOffset.X - rect.Left, ptCurrent.Y + ptOffset.Y - rect.Top);
    int dx = 0;
    int dy = 0;

    // Pass A: the window against the work area and the other windows, but not against
    // its own glued children, which travel with it.
    for (int i = 0; i <= m_wndCount; ++i) {
        const TMagneticWndInfo& info = m_wndInfo[static_cast<std::size_t>(i)];
        if (!SlotVisible(i) || (i > 0 && info.hWnd == hWnd) || (info.Glued && info.hWndParent == hWnd))
            continue;
        SnapEdges(rect, m_wndRect[static_cast<std::size_t>(i)], dx, dy);
    }
    // Pass B: the glued children, where they are about to be, against the free windows.
    for (int i = 1; i <= m_wndCount; ++i) {
        const TMagneticWndInfo& child = m_wndInfo[static_cast<std::size_t>(i)];
        if (!SlotVisible(i) || !child.Glued || child.hWndParent != hWnd)
            continue;
        TRect moved = m_wndRect[static_cast<std::size_t>(i)];
        moved.Offset(ptCurrent.X - ptAnchor.X, ptCurrent.Y - ptAnchor.Y);
        for (int j = 1; j <= m_wndCount; ++j) {
            const TMagneticWndInfo& other = m_wndInfo[static_cast<std::size_t>(j)];
            if (j == i || !SlotVisible(j) || other.Glued || other.hWnd == hWnd)
                continue;
            SnapEdges(moved, m_wndRect[static_cast<std::size_t>(j)], dx, dy);
        }
    }
    rect.Offset(dx, dy);

    // The glued children keep their offset to the window exactly: placed from where they
    // stood at the start of the drag plus the window's displacement.
    const int k = pvWndGetInfoIndex(hWnd);
    if (k > 0) {
        const TRect& start = m_wndRect[static_cast<std::size_t>(k)];
        std::vector<std::pair<HWND, TPoint>> moves;
        for (int i = 1; i <= m_wndCount; ++i) {
            const TMagneticWndInfo& child = m_wndInfo[static_cast<std::size_t>(i)];
            if (!SlotVisible(i) || child.hWndParent != hWnd || !child.Glued)
                continue;
            const TRect& at = m_wndRect[static_cast<std::size_t>(i)];
            moves.emplace_back(child.hWnd, TPoint{at.Left + rect.Left - start.Left, at.Top + rect.Top - start.Top});
        }
        if (!moves.empty())
            m_system.MoveWindows(moves, hWnd, rect);
    }
    ptLast = ptCurrent;
}

void TMagnetic::pvSizeRect(HWND hWnd, TRect& rect, int edge)
{
    const TRect proposed = rect;
    const int s = m_snapWidth;
    const bool left = edge == 1 || edge == 4 || edge == 7;
    const bool right = edge == 2 || edge == 5 || edge == 8;
    const bool top = edge == 3 || edge == 4 || edge == 5;
    const bool bottom = edge == 6 || edge == 7 || edge == 8;
    for (int i = 0; i <= m_wndCount; ++i) {
        if (!SlotVisible(i) || (i > 0 && m_wndInfo[static_cast<std::size_t>(i)].hWnd == hWnd))
            continue;
        const TRect& c = m_wndRect[static_cast<std::size_t>(i)];
        if (rect.Top < c.Bottom + s && rect.Bottom > c.Top - s) {
            if (left) {
                if (std::abs(proposed.Left - c.Left) < s)
                    rect.Left = c.Left;
                if (std::abs(proposed.Left - c.Right) < s)
                    rect.Left = c.Right;
            }
            if (right) {
                if (std::abs(proposed.Right - c.Left) < s)
                    rect.Right = c.Left;
                if (std::abs(proposed.Right - c.Right) < s)
                    rect.Right = c.Right;
            }
        }
        if (rect.Left < c.Right + s && rect.Right > c.Left - s) {
            if (top) {
                if (std::abs(proposed.Top - c.Top) < s)
                    rect.Top = c.Top;
                if (std::abs(proposed.Top - c.Bottom) < s)
                    rect.Top = c.Bottom;
            }
            if (bottom) {
                if (std::abs(proposed.Bottom - c.Top) < s)
                    rect.Bottom = c.Top;
                if (std::abs(proposed.Bottom - c.Bottom) < s)
                    rect.Bottom = c.Bottom;
            }
        }
    }
}

bool TMagnetic::pvWndsConnected(const TRect& a, const TRect& b)
{
    const int unionWidth = std::max(a.Right, b.Right) - std::min(a.Left, b.Left);
    const int unionHeight = std::max(a.Bottom, b.Bottom) - std::min(a.Top, b.Top);
    if (a.Width() + b.Width() < unionWidth)
        return false;
    if (a.Height() + b.Height() < unionHeight)
        return false;
    return a.Left == b.Left || a.Left == b.Right || a.Right == b.Left || a.Right == b.Right || a.Top == b.Top
        || a.Top == b.Bottom || a.Bottom == b.Top || a.Bottom == b.Bottom;
}

void TMagnetic::pvCheckGlueing()
{
    for (int i = 1; i <= m_wndCount; ++i) {
        m_wndRect[static_cast<std::size_t>(i)] = m_system.GetWindowRect(m_wndInfo[static_cast<std::size_t>(i)].hWnd);
        m_wndInfo[static_cast<std::size_t>(i)].Glued = false;
    }
    for (int i = 1; i <= m_wndCount; ++i) {
        TMagneticWndInfo& info = m_wndInfo[static_cast<std::size_t>(i)];
        if (!SlotVisible(i) || !info.hWndParent)
            continue;
        // A parent that is not registered has no rectangle here: the window stays free.
        const int p = pvWndParentGetInfoIndex(info.hWndParent);
        if (p > 0)
            info.Glued = pvWndsConnected(m_wndRect[static_cast<std::size_t>(p)], m_wndRect[static_cast<std::size_t>(i)]);
    }
    // Carry the glue along chains of siblings that touch one another.
    for (int round = 0; round < m_wndCount; ++round) {
        for (int i = 1; i <= m_wndCount; ++i) {
            const TMagneticWndInfo& glued = m_wndInfo[static_cast<std::size_t>(i)];
            if (!SlotVisible(i) || !glued.Glued)
                continue;
            for (int j = 1; j <= m_wndCount; ++j) {
                TMagneticWndInfo& sibling = m_wndInfo[static_cast<std::size_t>(j)];
                if (j == i || !SlotVisible(j) || sibling.hWndParent != glued.hWndParent || sibling.Glued)
                    continue;
                sibling.Glued
                    = pvWndsConnected(m_wndRect[static_cast<std::size_t>(i)], m_wndRect[static_cast<std::size_t>(j)]);
            }
        }
    }
}

int TMagnetic::pvWndGetInfoIndex(HWND hWnd) const
{
    for (int i = 1; i <= m_wndCount; ++i)
        if (m_wndInfo[static_cast<std::size_t>(i)].hWnd == hWnd)
            return i;
    return -1;
}

int TMagnetic::pvWndParentGetInfoIndex(HWND hWnd) const
{
    return pvWndGetInfoIndex(hWnd);
}

bool TMagnetic::AddWindow(HWND hWnd, HWND hWndParent, TSubclassProc& callback)
{
    callback = nullptr;
    if (pvWndGetInfoIndex(hWnd) > 0)
        return false;
    if (!m_system.IsWindow(hWnd))
        return false;
    if (hWndParent && !m_system.IsWindow(hWndParent))
        return false;
    ++m_wndCount;
    m_wndInfo.push_back({hWnd, hWndParent == hWnd ? nullptr : hWndParent, false});
    m_wndRect.emplace_back();
    pvCheckGlueing();
    callback = [self = std::weak_ptr<TMagnetic*>(m_self)](HWND window, std::uint32_t message, TMessage& msg,
                                                          bool& handled) {
        const std::shared_ptr<TMagnetic*> manager = self.lock();
        if (!manager)
            return false;
        (*manager)->zSubclass_Proc(window, message, msg.WParam, msg.LParam, msg.Result, handled);
        return true;
    };
    return true;
}

bool TMagnetic::RemoveWindow(HWND hWnd)
{
    const int slot = pvWndGetInfoIndex(hWnd);
    if (slot < 0)
        return false;
    m_wndInfo.erase(m_wndInfo.begin() + slot);
    m_wndRect.pop_back();
    --m_wndCount;
    for (int i = 1; i <= m_wndCount; ++i)
        if (m_wndInfo[static_cast<std::size_t>(i)].hWndParent == hWnd)
            m_wndInfo[static_cast<std::size_t>(i)].hWndParent = nullptr;
    pvCheckGlueing();
    return true;
}
