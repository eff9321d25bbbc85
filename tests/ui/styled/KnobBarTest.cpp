// A knob on a track: where presses, drags and clicks put it, and what its place stands
// for, with the strip's seek and volume bars and the playlist window's master volume.

#include "KnobBar.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// The strip's seek track at 63 (136 wide) and volume track at 132 (67 wide); the playlist
// window's master-volume track at 34 (63 wide). Knobs 12 wide.
KnobBar seekBar() { return KnobBar(63, 136, 12, 63); }
KnobBar volumeBar(int offset = 30) { return KnobBar(132, 67, 12, 132 + offset); }
KnobBar masterBar(int offset = 0) { return KnobBar(34, 63, 12, 34 + offset); }

TEST(KnobBarValues, OffsetsMapOntoTheCallersScale)
{
    EXPECT_EQ(volumeBar().Range(), 55);
    EXPECT_EQ(volumeBar(0).ValueOf(255), 0);
    EXPECT_EQ(volumeBar(30).ValueOf(255), 139);
    EXPECT_EQ(volumeBar(55).ValueOf(255), 255);
    EXPECT_EQ(masterBar().Range(), 51);
    EXPECT_EQ(masterBar(25).ValueOf(100), 49);
    EXPECT_EQ(masterBar(51).ValueOf(100), 100);
    EXPECT_EQ(KnobBar(10, 12, 12, 10).ValueOf(100), 0) << "a track without travel";
}

TEST(KnobBarValues, KnobPlacesForValuesStayOnTheTrack)
{
    const KnobBar master = masterBar();
    EXPECT_EQ(master.KnobLeftFor(KnobBar::WholeValue(3276700.0 / 65535.0), 100), 34 + 24);
    // A mixer above 100 % or reporting nonsense keeps the knob on its track.
    EXPECT_EQ(master.KnobLeftFor(KnobBar::WholeValue(153.0), 100), 34 + 51);
    EXPECT_EQ(master.KnobLeftFor(KnobBar::WholeValue(-5.0), 100), 34);
    EXPECT_EQ(master.KnobLeftFor(KnobBar::WholeValue(std::numeric_limits<double>::quiet_NaN()), 100), 34);
    EXPECT_EQ(master.KnobLeftFor(KnobBar::WholeValue(std::numeric_limits<double>::infinity()), 100), 34 + 51);
    EXPECT_EQ(KnobBar::WholeValue(99.9), 99) << "truncated, not rounded";
    EXPECT_EQ(KnobBar::WholeValue(-0.5), 0);

    // A ten-hour song: the product is taken wide.
    const KnobBar seek = seekBar();
    EXPECT_EQ(seek.KnobLeftFor(18000000, 36000000), 63 + 62);
    EXPECT_EQ(seek.KnobLeftFor(36000000, 36000000), 63 + 124);
    EXPECT_EQ(seek.KnobLeftFor(5000, 0), 63) << "no length: the start";
}

TEST(KnobBarMouse, TrackClicksCentreTheKnobOrGoToTheNearerEnd)
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
    EXPECT_EQ(bar.Offset(), r) << "p = r is still inside";
    bar.ClickTrack(r + 7);
    EXPECT_EQ(bar.Offset(), r);
    bar.ClickTrack(-40);
    EXPECT_EQ(bar.Offset(), 0);

    KnobBar master = masterBar(10);
    master.ClickTrack(31);
    EXPECT_EQ(master.KnobLeft(), 34 + 25);
    master.ClickTrack(57);
    EXPECT_EQ(master.KnobLeft(), 34 + 51);
    master.ClickTrack(-20);
    EXPECT_EQ(master.KnobLeft(), 34);
}

TEST(KnobBarMouse, DragFollowsThePointerAndStopsInsideTheTrack)
{
    KnobBar bar = volumeBar(30);
    EXPECT_FALSE(bar.MoveKnob(10)) << "no drag without a press";
    bar.PressKnob(4, 3);
    EXPECT_TRUE(bar.Dragging());
    EXPECT_EQ(bar.GrabX(), 4);
    EXPECT_EQ(bar.GrabY(), 3);
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

    // The master volume's knob, grabbed at 5 from left 40 (offset 6 of 51).
    KnobBar master = masterBar(6);
    master.PressKnob(5, 0);
    EXPECT_TRUE(master.MoveKnob(-1));
    EXPECT_EQ(master.KnobLeft(), 34) << "exactly to the left end";
    master.SetKnobLeft(40);
    EXPECT_FALSE(master.MoveKnob(-2)) << "one pixel beyond";
    EXPECT_EQ(master.KnobLeft(), 40);
    master.SetKnobLeft(80);
    EXPECT_TRUE(master.MoveKnob(10));
    EXPECT_EQ(master.KnobLeft(), 85);
    master.SetKnobLeft(80);
    EXPECT_FALSE(master.MoveKnob(11));
    EXPECT_EQ(master.KnobLeft(), 80);
}

TEST(KnobBarMouse, SyncTakesNewGeometryAndKeepsTheDrag)
{
    KnobBar bar = seekBar();
    bar.PressKnob(6, 3);
    bar.Sync(126, 272, 24, 150);  // the same bar at twice the size
    EXPECT_TRUE(bar.Dragging());
    EXPECT_EQ(bar.Range(), 248);
    EXPECT_EQ(bar.Offset(), 24);
    EXPECT_TRUE(bar.MoveKnob(16));
    EXPECT_EQ(bar.Offset(), 34);
}

} // namespace
