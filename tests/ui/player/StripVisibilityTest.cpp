#include "StripVisibility.h"

#include <gtest/gtest.h>

namespace {

TEST(StripVisibility, HiddenMinimisedUnexposedOrCoveredIsUnseen)
{
    StripVisibility strip;
    EXPECT_TRUE(strip.Seen()) << "seen until the window says otherwise";
    EXPECT_FALSE(strip.SetShown(true)) << "no change, nothing to report";

    EXPECT_TRUE(strip.SetShown(false));   // to the tray
    EXPECT_FALSE(strip.Seen());
    EXPECT_TRUE(strip.SetShown(true));
    EXPECT_TRUE(strip.Seen());

    EXPECT_TRUE(strip.SetMinimised(true));
    EXPECT_FALSE(strip.SetExposed(false)) << "already unseen";
    EXPECT_FALSE(strip.SetMinimised(false)) << "still not exposed";
    EXPECT_TRUE(strip.SetExposed(true));
    EXPECT_TRUE(strip.Seen());

    EXPECT_TRUE(strip.SetCovered(true));
    EXPECT_FALSE(strip.SetCovered(true));
    EXPECT_TRUE(strip.SetCovered(false));
    EXPECT_TRUE(strip.Seen());
}

// The X server tells a window its visibility when it is mapped again; a cover heard
// before the window went away must not outlive it and keep the strip dark.
TEST(StripVisibility, ACoverDoesNotOutliveHidingOrMinimising)
{
    StripVisibility strip;
    strip.SetCovered(true);
    strip.SetShown(false);
    EXPECT_TRUE(strip.SetShown(true));
    EXPECT_TRUE(strip.Seen());

    strip.SetCovered(true);
    strip.SetMinimised(true);
    EXPECT_TRUE(strip.SetMinimised(false));
    EXPECT_TRUE(strip.Seen());

    // Covered again as it comes back: unseen until uncovered.
    strip.SetShown(false);
    strip.SetShown(true);
    EXPECT_TRUE(strip.SetCovered(true));
    EXPECT_FALSE(strip.Seen());
}

} // namespace
