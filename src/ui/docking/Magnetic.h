#pragma once
// Magnetic windows: while one registered window is dragged or resized, its edges jump
// onto the edges of the screen's work area and of the other visible registered windows
// once they are nearer than the snap width; a window registered with a parent is glued
// to it while they touch, and a glued window travels with its parent.
//
// The manager sees windows only through `IWindowSystem` (rectangles, visibility, the
// work area, the cursor, moves), so its geometry is tested without a screen. Window
// owners route seven window messages into the callback that `AddWindow` hands out (see
// `MagneticRouter` for the program's own move and size loops). Window thread only.

#include "Geometry.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QWidget;

// A window as the manager knows it; null is no window.
using HWND = QWidget*;

// Message numbers and flags the manager acts on.
constexpr std::uint32_t WM_WINDOWPOSCHANGED = 0x0047;
constexpr std::uint32_t WM_COMMAND = 0x0111;
constexpr std::uint32_t WM_SYSCOMMAND = 0x0112;
constexpr std::uint32_t WM_SIZING = 0x0214;
constexpr std::uint32_t WM_MOVING = 0x0216;
constexpr std::uint32_t WM_ENTERSIZEMOVE = 0x0231;
constexpr std::uint32_t WM_EXITSIZEMOVE = 0x0232;
constexpr std::uint32_t SWP_SHOWWINDOW = 0x0040;
constexpr std::uint32_t SWP_HIDEWINDOW = 0x0080;
constexpr std::int32_t SC_MINIMIZE = 0xF020;
constexpr std::int32_t SC_RESTORE = 0xF120;

// One routed message. For WM_MOVING and WM_SIZING, LParam points to the proposed
// `TRect`, which the callback rewrites in place; for WM_WINDOWPOSCHANGED it points to a
// `TWindowPos`. WParam of WM_SIZING is the dragged edge (1 to 8, see `SizeEdge`).
struct TMessage {
    std::uint32_t Msg = 0;
    std::int32_t WParam = 0;
    std::intptr_t LParam = 0;
    std::int32_t Result = 0;
};

// The part of a position change the manager reads.
struct TWindowPos {
    std::uint32_t flags = 0;
};

// The message callback: false, and nothing done, once its manager is gone. An empty
// callback is no callback.
using TSubclassProc = std::function<bool(HWND hWnd, std::uint32_t message, TMessage& msg, bool& handled)>;

class IWindowSystem {
public:
    virtual ~IWindowSystem() = default;
    virtual bool IsWindow(HWND hWnd) const = 0;
    virtual bool IsWindowVisible(HWND hWnd) const = 0;
    virtual bool IsZoomed(HWND hWnd) const = 0;
    // The window's frame in screen coordinates.
    virtual TRect GetWindowRect(HWND hWnd) const = 0;
    // The screen's area not taken by panels and docks.
    virtual TRect WorkArea() const = 0;
    virtual TPoint CursorPos() const = 0;
    // Moves each window's top-left corner, keeping its size, stacking and activation,
    // all in one batch. They are the glued windows of `leader`, which is about to take
    // `leaderRect`.
    virtual void MoveWindows(const std::vector<std::pair<HWND, TPoint>>& moves, HWND leader,
                             const TRect& leaderRect) = 0;
};

struct TMagneticWndInfo {
    HWND hWnd = nullptr;
    HWND hWndParent = nullptr;  // glued to it when touching; null for a free window
    bool Glued = false;
};

class TMagnetic {
public:
    explicit TMagnetic(IWindowSystem& system);
    // Registered windows are left alone; the callbacks handed out do nothing from here on.
    ~TMagnetic();
    TMagnetic(const TMagnetic&) = delete;
    TMagnetic& operator=(const TMagnetic&) = delete;

    int GetSnapWidth() const { return m_snapWidth; }
    void SetSnapWidth(int value) { m_snapWidth = value; }

    // Registers `hWnd` (free when `hWndParent` is null or itself) and hands out the
    // message callback, which passes messages to this manager. False, with an empty
    // callback, for a window already registered or a handle or parent that is not a window.
    bool AddWindow(HWND hWnd, HWND hWndParent, TSubclassProc& callback);
    // Unregisters `hWnd`; its children become free. False when it was not registered.
    bool RemoveWindow(HWND hWnd);
    void CheckGlueing() { pvCheckGlueing(); }

    void zSubclass_Proc(HWND hWnd, std::uint32_t message, std::int32_t wParam, std::intptr_t lParam,
                        std::int32_t& result, bool& handled);

    // What the manager holds: slot 0 is the work area, slots 1 to WndCount the windows.
    int WndCount() const { return m_wndCount; }
    const TMagneticWndInfo& WndInfo(int slot) const { return m_wndInfo.at(static_cast<std::size_t>(slot)); }
    const TRect& WndRect(int slot) const { return m_wndRect.at(static_cast<std::size_t>(slot)); }

private:
    void pvEnterSizeMove(HWND hWnd);
    void pvMoveRect(HWND hWnd, TRect& rect);
    void pvSizeRect(HWND hWnd, TRect& rect, int edge);
    void pvCheckGlueing();
    static bool pvWndsConnected(const TRect& a, const TRect& b);
    int pvWndGetInfoIndex(HWND hWnd) const;
    int pvWndParentGetInfoIndex(HWND hWnd) const;
    bool SlotVisible(int slot) const;
    // The eight edge tests of move snapping of `r` against `c`; matches overwrite dx, dy.
    void SnapEdges(const TRect& r, const TRect& c, int& dx, int& dy) const;

    IWindowSystem& m_system;
    int m_snapWidth = 10;
    std::vector<TMagneticWndInfo> m_wndInfo{1};
    std::vector<TRect> m_wndRect{1};
    int m_wndCount = 0;
    TPoint ptAnchor;
    TPoint ptOffset;
    TPoint ptCurrent;
    TPoint ptLast;
    // The callbacks handed out hold it weakly: they act only while the manager lives.
    std::shared_ptr<TMagnetic*> m_self = std::make_shared<TMagnetic*>(this);
};
