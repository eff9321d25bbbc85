#include "Bars.h"
#include "KnobBar.h"

#include <gtest/gtest.h>

namespace {

// A seek track 136 wide with its 12-wide knob: a travel of 124.
const KnobBar seekFrom0(0, 136, 12, 0);

TEST(SeekBar, SeekTargetsUseWideProducts)
{
    EXPECT_EQ(bars::SeekTargetMs(200000, 62, 124), 100000);
    EXPECT_EQ(bars::SeekTargetMs(0, 62, 124), 0);
    // Ten hours: 36,000,000 ms x 124 does not fit in 32 bits.
    EXPECT_EQ(bars::SeekTargetMs(36000000, 124, 124), 36000000);
}

TEST(SeekBar, ASeekPutsTheKnobBackOnThePixelItWasLetGoOn)
{
    // A song whose length does not divide evenly: truncated, every seek would land one
    // millisecond short of the knob's pixel and the knob would drop back.
    for (const int length : {200000, 187463, 3001, 125}) {
        for (int offset = 0; offset <= 124; ++offset) {
            const int target = bars::SeekTargetMs(length, offset, 124);
            ASSERT_EQ(seekFrom0.KnobLeftFor(target, length), offset) << length << " " << offset;
        }
    }
}

TEST(SeekBar, TicksComeWhenTheClockOrTheKnobChanges)
{
    EXPECT_EQ(bars::MsUntilNextSecond(0), 1000);
    EXPECT_EQ(bars::MsUntilNextSecond(1999), 1);
    EXPECT_EQ(bars::MsUntilNextSecond(2000), 1000);
    // 124 pixels over 200 s: one every 1612.9 ms; from 1000 ms the next is at 1613.
    EXPECT_EQ(bars::MsUntilKnobMoves(124, 1000, 200000), 613);
    EXPECT_EQ(seekFrom0.KnobLeftFor(1000 + 613, 200000), 1);
    EXPECT_EQ(seekFrom0.KnobLeftFor(1000 + 612, 200000), 0);
    EXPECT_EQ(bars::MsUntilKnobMoves(124, 0, 0), -1);
    EXPECT_EQ(bars::MsUntilKnobMoves(124, 200000, 200000), -1);
    // A short song moves the knob more often than every millisecond: never sooner than one.
    EXPECT_EQ(bars::MsUntilKnobMoves(124, 10, 100), 1);
    // 124 pixels: from a song of 124 s on, the knob moves with the clock's tick.
    EXPECT_TRUE(bars::KnobMovesWithClock(124, 124000));
    EXPECT_FALSE(bars::KnobMovesWithClock(124, 123999));
    EXPECT_FALSE(bars::KnobMovesWithClock(0, 200000));
}

TEST(StreamLabels, PaddedAndWrapped)
{
    EXPECT_EQ(bars::KbpsText(128), "128KB");
    EXPECT_EQ(bars::KbpsText(64), " 64KB");
    EXPECT_EQ(bars::KbpsText(1411), "411KB");
    EXPECT_EQ(bars::KhzText(44), "44KH");
    EXPECT_EQ(bars::KhzText(8), " 8KH");
    EXPECT_EQ(bars::KhzText(176), "176K") << "three digits are never cut to two";
    EXPECT_EQ(bars::KhzText(384), "384K");
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
