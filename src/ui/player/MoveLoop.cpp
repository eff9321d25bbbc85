#include "MoveLoop.h"

void WindowMoveLoop::Begin(QPoint globalPointer, QRect frame)
{
    m_active = true;
    m_grab = globalPointer - frame.topLeft();
    m_start = frame;
    if (m_hook)
        m_hook->EnterSizeMove();
}

bool WindowMoveLoop::Move(QPoint globalPointer, QRect& result)
{
    if (!m_active)
        return false;
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
    if (m_hook)
        m_hook->ExitSizeMove();
}
