#include "MagneticRouter.h"

#include "WindowPlacement.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindowStateChangeEvent>

bool QtWindowSystem::IsWindow(HWND hWnd) const
{
    return hWnd && hWnd->isWindow();
}

bool QtWindowSystem::IsWindowVisible(HWND hWnd) const
{
    return hWnd && hWnd->isVisible() && !hWnd->isMinimized();
}

bool QtWindowSystem::IsZoomed(HWND hWnd) const
{
    return hWnd && hWnd->isMaximized();
}

TRect QtWindowSystem::GetWindowRect(HWND hWnd) const
{
    return hWnd ? TRect::fromQRect(LogicalWindowRect(hWnd)) : TRect{};
}

TRect QtWindowSystem::WorkArea() const
{
    const QScreen* screen = QGuiApplication::screenAt(LoopPointer().value_or(QCursor::pos()));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? TRect::fromQRect(screen->availableGeometry()) : TRect{};
}

TPoint QtWindowSystem::CursorPos() const
{
    return TPoint::fromQPoint(LoopPointer().value_or(QCursor::pos()));
}

void QtWindowSystem::MoveWindows(const std::vector<std::pair<HWND, TPoint>>& moves, HWND leader,
                                 const TRect& leaderRect)
{
    for (const auto& [window, at] : moves)
        if (window)
            PlaceWindow(window, QRect(at.toQPoint(), LogicalWindowRect(window).size()), false, leader,
                        leaderRect.toQRect());
}

MagneticRouter::MagneticRouter(QWidget* window, const TSubclassProc* proc, bool* handled)
    : m_window(window), m_proc(proc), m_handled(handled)
{
    if (!window)
        return;
    window->installEventFilter(this);
    RegisterDockedWindow(window);
}

bool MagneticRouter::Send(std::uint32_t message, std::int32_t wParam, std::intptr_t lParam, bool& handled)
{
    handled = false;
    if (!m_window || !m_proc || !*m_proc)
        return false;
    TMessage record{message, wParam, lParam, 0};
    return (*m_proc)(m_window.data(), message, record, handled);
}

void MagneticRouter::PassOn(std::uint32_t message, std::int32_t wParam, std::intptr_t lParam)
{
    bool handled = false;
    Send(message, wParam, lParam, handled);
    if (m_handled)
        *m_handled = handled;
}

bool MagneticRouter::Propose(std::uint32_t message, std::int32_t wParam, QRect& proposed)
{
    TRect rect = TRect::fromQRect(proposed);
    bool handled = false;
    Send(message, wParam, reinterpret_cast<std::intptr_t>(&rect), handled);
    // Whatever the callback left in the rectangle is where the window goes.
    proposed = rect.toQRect();
    return true;
}

void MagneticRouter::EnterSizeMove()
{
    PassOn(WM_ENTERSIZEMOVE, 0, 0);
}

bool MagneticRouter::Moving(QRect& proposed)
{
    return Propose(WM_MOVING, 0, proposed);
}

bool MagneticRouter::Sizing(SizeEdge edge, QRect& proposed)
{
    return Propose(WM_SIZING, static_cast<std::int32_t>(edge), proposed);
}

void MagneticRouter::ExitSizeMove()
{
    PassOn(WM_EXITSIZEMOVE, 0, 0);
}

bool MagneticRouter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide: {
            TWindowPos pos{event->type() == QEvent::Show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW};
            PassOn(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<std::intptr_t>(&pos));
            break;
        }
        case QEvent::WindowStateChange: {
            const bool minimized = m_window->isMinimized();
            const bool was = static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized;
            if (minimized != was)
                PassOn(WM_SYSCOMMAND, minimized ? SC_MINIMIZE : SC_RESTORE, 0);
            break;
        }
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
