#include "VolumeBar.h"

#include <cmath>
#include <cstdint>

int MasterVolumeBar::KnobLeftFor(float percent) const
{
    // A sound server may run above 100 % and a mixer may report nonsense; neither may
    // put the knob beside its track.
    if (!std::isfinite(percent))
        percent = 0;
    const auto p = static_cast<std::int32_t>(std::fmax(0.0f, std::fmin(percent, 100.0f)));
    return TrackLeft + p * Travel() / 100;
}

int MasterVolumeBar::PercentFor(int knobLeft) const
{
    if (Travel() <= 0)
        return 0;
    return (knobLeft - TrackLeft) * 100 / Travel();
}

int MasterVolumeBar::KnobLeftForClick(int x) const
{
    const int half = KnobWidth / 2;
    const int a = x - half;
    if (a > 0 && a <= Travel())
        return TrackLeft + a;
    return a <= half ? TrackLeft : TrackLeft + Travel();
}

int MasterVolumeBar::KnobLeftForDrag(int knobLeft, int downX, int x) const
{
    if (x == downX)
        return knobLeft;
    const int left = knobLeft + x - downX;
    if (left < TrackLeft || left > TrackLeft + Travel())
        return knobLeft;
    return left;
}
