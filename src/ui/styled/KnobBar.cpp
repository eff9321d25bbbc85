#include "KnobBar.h"

#include <algorithm>
#include <cmath>

void KnobBar::PressKnob(int x, int y)
{
    m_drag = true;
    m_downX = x;
    m_downY = y;
}

bool KnobBar::MoveKnob(int x)
{
    if (!m_drag || x == m_downX)
        return false;
    const int left = m_knobLeft + (x - m_downX);
    if (left < m_trackLeft || left > m_trackLeft + Range())
        return false;
    m_knobLeft = left;
    return true;
}

bool KnobBar::ReleaseKnob()
{
    const bool was = m_drag;
    m_drag = false;
    return was;
}

void KnobBar::ClickTrack(int x)
{
    const int half = m_knobWidth / 2;
    const int p = x - half;
    if (p > 0 && p <= Range())
        m_knobLeft = m_trackLeft + p;
    else if (p <= half)
        m_knobLeft = m_trackLeft;
    else
        m_knobLeft = m_trackLeft + Range();
}

std::int64_t KnobBar::ValueOf(std::int64_t full) const
{
    return Range() > 0 ? std::int64_t{Offset()} * full / Range() : 0;
}

int KnobBar::KnobLeftFor(std::int64_t value, std::int64_t full) const
{
    if (full <= 0)
        return m_trackLeft;
    return m_trackLeft + static_cast<int>(std::int64_t{Range()} * std::clamp<std::int64_t>(value, 0, full) / full);
}

std::int64_t KnobBar::WholeValue(double reading)
{
    if (std::isnan(reading))
        return 0;
    // Held well inside the 64-bit range, so that the cast is defined and a product with
    // a track's range still fits.
    constexpr double limit = 1e15;
    return static_cast<std::int64_t>(std::clamp(reading, -limit, limit));
}
