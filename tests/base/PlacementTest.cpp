#include "Placement.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

const QRect kScreen(0, 0, 1024, 768);

TEST(FitIntoWorkArea, PlacesOnScreenAreKeptExactly)
{
    EXPECT_EQ(FitIntoWorkArea({200, 100, 218, 49}, kScreen), QRect(200, 100, 218, 49));
    EXPECT_EQ(FitIntoWorkArea({0, 0, 218, 49}, kScreen), QRect(0, 0, 218, 49));
    EXPECT_EQ(FitIntoWorkArea({1024 - 218, 768 - 49, 218, 49}, kScreen), QRect(806, 719, 218, 49));
    const QRect panelled(0, 24, 1024, 720);
    EXPECT_EQ(FitIntoWorkArea({5, 30, 400, 600}, panelled), QRect(5, 30, 400, 600));
}

TEST(FitIntoWorkArea, UnreachablePlacesComeBackWhole)
{
    EXPECT_EQ(FitIntoWorkArea({-99999, 99999, 218, 49}, kScreen), QRect(0, 768 - 49, 218, 49));
    EXPECT_EQ(FitIntoWorkArea({1010, -40, 218, 49}, kScreen), QRect(1024 - 218, 0, 218, 49));
    EXPECT_EQ(FitIntoWorkArea({INT_MAX, INT_MIN, 218, 49}, kScreen), QRect(806, 0, 218, 49));
    // Behind a top panel: moved just below it.
    EXPECT_EQ(FitIntoWorkArea({300, 10, 218, 49}, QRect(0, 24, 1024, 744)), QRect(300, 24, 218, 49));
    // A second screen to the right has its own origin.
    EXPECT_EQ(FitIntoWorkArea({3000, 50, 218, 49}, QRect(1024, 0, 1280, 1024)), QRect(2304 - 218, 50, 218, 49));
}

TEST(FitIntoWorkArea, SizesLargerThanTheWorkAreaShrinkToIt)
{
    EXPECT_EQ(FitIntoWorkArea({200, 200, 99999, 600}, kScreen), QRect(0, 168, 1024, 600));
    EXPECT_EQ(FitIntoWorkArea({200, 200, 400, INT_MAX}, kScreen), QRect(200, 0, 400, 768));
    EXPECT_EQ(FitIntoWorkArea({200, 200, -5, 0}, kScreen), QRect(200, 200, 1, 1));
}

TEST(ChooseWorkArea, TheScreenOverlappedMostElseThePrimary)
{
    const QList<QRect> areas{QRect(0, 0, 1024, 768), QRect(1024, 0, 1280, 1024)};
    EXPECT_EQ(ChooseWorkArea({1500, 100, 218, 49}, areas), areas[1]);
    EXPECT_EQ(ChooseWorkArea({1000, 100, 218, 49}, areas), areas[1]) << "more of it lies on the second";
    EXPECT_EQ(ChooseWorkArea({900, 100, 218, 49}, areas), areas[0]);
    EXPECT_EQ(ChooseWorkArea({-99999, 99999, 218, 49}, areas), areas[0]);
    EXPECT_EQ(ChooseWorkArea({INT_MAX, INT_MAX, INT_MAX, INT_MAX}, areas), areas[0]);
    EXPECT_EQ(ChooseWorkArea({0, 0, 10, 10}, {}), QRect());
}

TEST(KeepListClearOfStrip, APairThatDoesNotTouchStaysAsItIs)
{
    const QRect strip(200, 100, 218, 49), list(200, 200, 400, 600);
    const WindowPair pair = KeepListClearOfStrip(strip, list, kScreen, {240, 160});
    EXPECT_EQ(pair.strip, strip);
    EXPECT_EQ(pair.list, list);
    // Glued below it, touching but not covered.
    EXPECT_EQ(KeepListClearOfStrip(strip, QRect(200, 149, 400, 600), kScreen, {240, 160}).list, QRect(200, 149, 400, 600));
}

TEST(KeepListClearOfStrip, OnASmallLogicalScreenTheListGoesBelowTheStripShrunkToFit)
{
    // 1280 x 1024 at 200 %: the default places, each fitted on its own, overlap.
    const QRect area(0, 0, 640, 512);
    const QRect strip = FitIntoWorkArea({200, 100, 218, 49}, area);
    const QRect list = FitIntoWorkArea({200, 200, 400, 600}, area);
    ASSERT_TRUE(strip.intersects(list));
    const WindowPair pair = KeepListClearOfStrip(strip, list, area, {240, 160});
    EXPECT_EQ(pair.strip, strip);
    EXPECT_EQ(pair.list, QRect(200, 149, 400, 512 - 149));
    EXPECT_FALSE(pair.strip.intersects(pair.list));
    // At 150 %: 853 x 682.
    const QRect wider(0, 0, 853, 682);
    const WindowPair at150 = KeepListClearOfStrip(FitIntoWorkArea({200, 100, 218, 49}, wider),
                                                  FitIntoWorkArea({200, 200, 400, 600}, wider), wider, {240, 160});
    EXPECT_EQ(at150.list, QRect(200, 149, 400, 682 - 149));
}

TEST(KeepListClearOfStrip, WithNoRoomBelowTheListGoesAboveAndWithNoneEitherSideTheStripMovesUp)
{
    // The strip at the screen's bottom: the list stands on it.
    const QRect area(0, 24, 800, 576);
    const WindowPair above = KeepListClearOfStrip({0, 551, 218, 49}, {200, 24, 400, 576}, area, {240, 160});
    EXPECT_EQ(above.strip, QRect(0, 551, 218, 49));
    EXPECT_EQ(above.list, QRect(0, 24, 400, 551 - 24));
    // A screen too low for the smallest list on either side of the strip.
    const QRect low(0, 0, 800, 300);
    const WindowPair moved = KeepListClearOfStrip({560, 120, 218, 49}, {500, 0, 400, 300}, low, {240, 160});
    EXPECT_EQ(moved.strip, QRect(560, 300 - 160 - 49, 218, 49));
    EXPECT_EQ(moved.list, QRect(400, 300 - 160, 400, 160));
    for (const WindowPair& pair : {above, moved})
        EXPECT_FALSE(pair.strip.intersects(pair.list));
}

} // namespace
