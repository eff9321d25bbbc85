#include "MoveLoop.h"

#include "WindowPlacement.h"

#include <QMouseEvent>
#include <QWidget>

#include <algorithm>

namespace {
std::optional<QPoint> g_loopPointer;  // window thread only
}

std::optional<QPoint> LoopPointer()
{
    return g_loopPointer;
}

void WindowMoveLoop::Begin(QPoint globalPointer, QRect frame)
{
    g_loopPointer = globalPointer;
    m_active = true;
    m_grab = globalPointer - frame.topLeft();
    m_pointer = globalPointer;
    m_start = frame;
    if (m_hook)
        m_hook->EnterSizeMove();
}

bool WindowMoveLoop::Move(QPoint globalPointer, QRect& result)
{
    if (!m_active || globalPointer == m_pointer)
        return false;
    m_pointer = globalPointer;
    g_loopPointer = globalPointer;
    QRect proposed = m_start;
    proposed.moveTopLeft(globalPointer - m_grab);
    if (m_hook && !m_hook->Moving(proposed))
        return false;
    result = proposed;
    return true;
}

void WindowMoveLoop::End()
{
    if (!m_active)
        return;
    m_active = false;
    g_loopPointer.reset();
    if (m_hook)
        m_hook->ExitSizeMove();
}

bool DriveMoveLoop(WindowMoveLoop& loop, QWidget* window, QEvent* event)
{
    auto* mouse = static_cast<QMouseEvent*>(event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        loop.Begin(mouse->globalPosition().toPoint(), LogicalWindowRect(window));
        return true;
    case QEvent::MouseMove: {
        QRect target;
        if (loop.Move(mouse->globalPosition().toPoint(), target))
            PlaceWindow(window, target);
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (mouse->buttons() == Qt::NoButton) {
            // Where the button was let go: the last pointer move may have been merged away.
            QRect target;
            if (loop.Move(mouse->globalPosition().toPoint(), target))
                PlaceWindow(window, target);
            loop.End();
        }
        return true;
    case QEvent::MouseButtonDblClick:
        return true;
    default:
        return false;
    }
}

SizeEdge EdgeAt(QPoint local, QSize size, int border)
{
    if (local.x() < 0 || local.y() < 0 || local.x() >= size.width() || local.y() >= size.height())
        return SizeEdge::None;
    // Corners take a longer stretch of the border, as desktop frames do.
    const int corner = border * 4;
    const bool left = local.x() < border;
    const bool right = local.x() >= size.width() - border;
    const bool top = local.y() < border;
    const bool bottom = local.y() >= size.height() - border;
    const bool nearLeft = local.x() < corner;
    const bool nearRight = local.x() >= size.width() - corner;
    const bool nearTop = local.y() < corner;
    const bool nearBottom = local.y() >= size.height() - corner;
    if ((top && nearLeft) || (left && nearTop))
        return SizeEdge::TopLeft;
    if ((top && nearRight) || (right && nearTop))
        return SizeEdge::TopRight;
    if ((bottom && nearLeft) || (left && nearBottom))
        return SizeEdge::BottomLeft;
    if ((bottom && nearRight) || (right && nearBottom))
        return SizeEdge::BottomRight;
    if (left)
        return SizeEdge::Left;
    if (right)
        return SizeEdge::Right;
    if (top)
        return SizeEdge::Top;
    if (bottom)
        return SizeEdge::Bottom;
    return SizeEdge::None;
}

void WindowSizeLoop::Begin(SizeEdge edge, QPoint globalPointer, QRect frame)
{
    if (edge == SizeEdge::None)
        return;
    m_active = true;
    m_edge = edge;
    m_press = globalPointer;
    m_pointer = globalPointer;
    g_loopPointer = globalPointer;
    m_start = frame;
    if (m_hook)
        m_hook->EnterSizeMove();
}

bool WindowSizeLoop::Move(QPoint globalPointer, QRect& result)
{
    if (!m_active || globalPointer == m_pointer)
        return false;
    m_pointer = globalPointer;
    g_loopPointer = globalPointer;
    const QPoint delta = globalPointer - m_press;
    // Edges as exclusive coordinates, so a width is right - left.
    int left = m_start.left();
    int top = m_start.top();
    int right = m_start.left() + m_start.width();
    int bottom = m_start.top() + m_start.height();
    const bool dragLeft = m_edge == SizeEdge::Left || m_edge == SizeEdge::TopLeft || m_edge == SizeEdge::BottomLeft;
    const bool dragRight = m_edge == SizeEdge::Right || m_edge == SizeEdge::TopRight || m_edge == SizeEdge::BottomRight;
    const bool dragTop = m_edge == SizeEdge::Top || m_edge == SizeEdge::TopLeft || m_edge == SizeEdge::TopRight;
    const bool dragBottom
        = m_edge == SizeEdge::Bottom || m_edge == SizeEdge::BottomLeft || m_edge == SizeEdge::BottomRight;
    if (dragLeft)
        left = std::min(left + delta.x(), right - m_minimum.width());
    if (dragRight)
        right = std::max(right + delta.x(), left + m_minimum.width());
    if (dragTop)
        top = std::min(top + delta.y(), bottom - m_minimum.height());
    if (dragBottom)
        bottom = std::max(bottom + delta.y(), top + m_minimum.height());
    QRect proposed(left, top, right - left, bottom - top);
    if (m_hook && !m_hook->Sizing(m_edge, proposed))
        return false;
    result = proposed;
    return true;
}

void WindowSizeLoop::End()
{
    if (!m_active)
        return;
    m_active = false;
    g_loopPointer.reset();
    m_edge = SizeEdge::None;
    if (m_hook)
        m_hook->ExitSizeMove();
}
