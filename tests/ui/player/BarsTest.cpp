#include "Bars.h"

#include <gtest/gtest.h>

namespace {

// The strip's two bars: seek track at 63 (136 wide), volume track at 132 (67 wide),
// knobs 12 wide.
KnobBar seekBar() { return KnobBar(63, 136, 12, 63); }
KnobBar volumeBar(int offset = 30) { return KnobBar(132, 67, 12, 132 + offset); }

TEST(KnobBars, VolumeOffsetsMapOntoTheFullRange)
{
    EXPECT_EQ(volumeBar().Range(), 55);
    EXPECT_EQ(bars::VolumeForOffset(0, 55), 0);
    EXPECT_EQ(bars::VolumeForOffset(30, 55), 139);
    EXPECT_EQ(bars::VolumeForOffset(55, 55), 255);
}

TEST(KnobBars, TrackClicksCentreTheKnobOrGoToTheEnds)
{
    KnobBar bar = seekBar();
    const int r = bar.Range();
    EXPECT_EQ(r, 124);
    bar.ClickTrack(0);
    EXPECT_EQ(bar.Offset(), 0);
    bar.ClickTrack(6);
    EXPECT_EQ(bar.Offset(), 0);
    bar.ClickTrack(7);
    EXPECT_EQ(bar.Offset(), 1);
    bar.ClickTrack(50);
    EXPECT_EQ(bar.Offset(), 44);
    bar.ClickTrack(r + 6);
    EXPECT_EQ(bar.Offset(), r);
    bar.ClickTrack(r + 7);
    EXPECT_EQ(bar.Offset(), r);
    bar.ClickTrack(-40);
    EXPECT_EQ(bar.Offset(), 0);
}

TEST(KnobBars, DragFollowsThePointerAndStopsInsideTheTrack)
{
    KnobBar bar = volumeBar(30);
    EXPECT_FALSE(bar.MoveKnob(10)) << "no drag without a press";
    bar.PressKnob(4, 3);
    // The knob moves under the pointer, so x in knob coordinates returns to the grab
    // point after every accepted move.
    EXPECT_TRUE(bar.MoveKnob(9));
    EXPECT_EQ(bar.Offset(), 35);
    EXPECT_FALSE(bar.MoveKnob(4));
    EXPECT_TRUE(bar.MoveKnob(24));
    EXPECT_EQ(bar.Offset(), 55);
    EXPECT_FALSE(bar.MoveKnob(5)) << "past the end is ignored, not clamped";
    EXPECT_EQ(bar.Offset(), 55);
    EXPECT_TRUE(bar.MoveKnob(-51));
    EXPECT_EQ(bar.Offset(), 0);
    EXPECT_FALSE(bar.MoveKnob(3));
    EXPECT_EQ(bar.Offset(), 0);
    EXPECT_TRUE(bar.ReleaseKnob());
    EXPECT_FALSE(bar.ReleaseKnob());
    EXPECT_FALSE(bar.MoveKnob(20));
}

TEST(KnobBars, SeekAndPositionUseWideProducts)
{
    EXPECT_EQ(bars::SeekTargetMs(200000, 62, 124), 100000);
    EXPECT_EQ(bars::SeekTargetMs(0, 62, 124), 0);
    // Ten hours: 36,000,000 ms x 124 does not fit in 32 bits.
    EXPECT_EQ(bars::SeekTargetMs(36000000, 124, 124), 36000000);
    EXPECT_EQ(bars::KnobLeftForTime(63, 124, 18000000, 36000000), 63 + 62);
    EXPECT_EQ(bars::KnobLeftForTime(63, 124, 5000, 0), 63);
}

TEST(KnobBars, ASeekPutsTheKnobBackOnThePixelItWasLetGoOn)
{
    // A song whose length does not divide evenly: truncated, every seek would land one
    // millisecond short of the knob's pixel and the knob would drop back.
    for (const int length : {200000, 187463, 3001, 125}) {
        for (int offset = 0; offset <= 124; ++offset) {
            const int target = bars::SeekTargetMs(length, offset, 124);
            ASSERT_EQ(bars::KnobLeftForTime(0, 124, target, length), offset) << length << " " << offset;
        }
    }
}

TEST(KnobBars, TicksComeWhenTheClockOrTheKnobChanges)
{
    EXPECT_EQ(bars::MsUntilNextSecond(0), 1000);
    EXPECT_EQ(bars::MsUntilNextSecond(1999), 1);
    EXPECT_EQ(bars::MsUntilNextSecond(2000), 1000);
    // 124 pixels over 200 s: one every 1612.9 ms; from 1000 ms the next is at 1613.
    EXPECT_EQ(bars::MsUntilKnobMoves(124, 1000, 200000), 613);
    EXPECT_EQ(bars::KnobLeftForTime(0, 124, 1000 + 613, 200000), 1);
    EXPECT_EQ(bars::KnobLeftForTime(0, 124, 1000 + 612, 200000), 0);
    EXPECT_EQ(bars::MsUntilKnobMoves(124, 0, 0), -1);
    EXPECT_EQ(bars::MsUntilKnobMoves(124, 200000, 200000), -1);
    // A short song moves the knob more often than every millisecond: never sooner than one.
    EXPECT_EQ(bars::MsUntilKnobMoves(124, 10, 100), 1);
}

TEST(StreamLabels, PaddedAndWrapped)
{
    EXPECT_EQ(bars::KbpsText(128), "128KB");
    EXPECT_EQ(bars::KbpsText(64), " 64KB");
    EXPECT_EQ(bars::KbpsText(1411), "411KB");
    EXPECT_EQ(bars::KhzText(44), "44KH");
    EXPECT_EQ(bars::KhzText(8), " 8KH");
    EXPECT_EQ(bars::KhzText(192), "92KH");
}

TEST(TitleScroll, LongTitlesCreepAndWrapShortOnesStayCentred)
{
    EXPECT_EQ(bars::NextTitleLeft(true, 0, 100, 197), 48);
    EXPECT_EQ(bars::NextTitleLeft(false, 48, 100, 197), 48);
    int left = bars::NextTitleLeft(true, 0, 300, 197);
    EXPECT_EQ(left, 14);
    int ticks = 1;
    while (left != 15 && ticks < 1000) {
        const int before = left;
        left = bars::NextTitleLeft(false, left, 300, 197);
        if (left != 15) {
            EXPECT_EQ(left, before - 1);
        }
        ++ticks;
    }
    // From 14 it creeps to -124, where the right end (176) passes 177, and that tick
    // puts it back at 15: 138 ticks after the reset.
    EXPECT_EQ(ticks, 1 + 138);
}

} // namespace
