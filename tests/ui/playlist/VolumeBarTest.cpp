// The master-volume bar's arithmetic: knob places for percentages, clicks and drags.

#include "VolumeBar.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const MasterVolumeBar bar{34, 63, 12};

TEST(MasterVolumeBarArithmetic, KnobAndPercentageConvertBothWays)
{
    EXPECT_EQ(bar.Travel(), 51);
    EXPECT_EQ(bar.KnobLeftFor(3276700.0f / 65535.0f), 34 + 24);
    EXPECT_EQ(bar.PercentFor(34 + 25), 49);
    EXPECT_EQ(bar.PercentFor(34 + 51), 100);
    // A mixer above 100 % or reporting nonsense keeps the knob on its track.
    EXPECT_EQ(bar.KnobLeftFor(153.0f), 34 + 51);
    EXPECT_EQ(bar.KnobLeftFor(-5.0f), 34);
    EXPECT_EQ(bar.KnobLeftFor(std::numeric_limits<float>::quiet_NaN()), 34);
}

TEST(MasterVolumeBarArithmetic, TrackClicksCentreOrGoToTheNearerEnd)
{
    EXPECT_EQ(bar.KnobLeftForClick(0), 34);
    EXPECT_EQ(bar.KnobLeftForClick(6), 34);
    EXPECT_EQ(bar.KnobLeftForClick(7), 35);
    EXPECT_EQ(bar.KnobLeftForClick(31), 34 + 25);
    EXPECT_EQ(bar.KnobLeftForClick(57), 34 + 51);
    EXPECT_EQ(bar.KnobLeftForClick(58), 34 + 51);
    EXPECT_EQ(bar.KnobLeftForClick(-20), 34);
}

TEST(MasterVolumeBarArithmetic, DragsStopInsideTheTrack)
{
    EXPECT_EQ(bar.KnobLeftForDrag(40, 5, 5), 40);
    EXPECT_EQ(bar.KnobLeftForDrag(40, 5, 9), 44);
    EXPECT_EQ(bar.KnobLeftForDrag(40, 5, -1), 34);
    EXPECT_EQ(bar.KnobLeftForDrag(40, 5, -2), 40);
    EXPECT_EQ(bar.KnobLeftForDrag(80, 5, 10), 85);
    EXPECT_EQ(bar.KnobLeftForDrag(80, 5, 11), 80);
}

} // namespace
