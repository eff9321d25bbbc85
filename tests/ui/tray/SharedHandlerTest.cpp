// The shared hidden handler: one instance while any user is alive, none after the last.

#include "SharedHandler.h"

#include <gtest/gtest.h>

namespace {

struct CountedHandler {
    static inline int alive = 0;
    CountedHandler() { ++alive; }
    ~CountedHandler() { --alive; }
    unsigned RefCount = 0;
};

TEST(SharedHandler, LivesFromTheFirstUserToTheLastAndReleasingNothingIsHarmless)
{
    CountedHandler* slot = nullptr;
    ReleaseSharedHandler(slot);  // before any user
    EXPECT_EQ(slot, nullptr);

    CountedHandler& first = AcquireSharedHandler(slot);
    CountedHandler& second = AcquireSharedHandler(slot);
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(CountedHandler::alive, 1);
    EXPECT_EQ(slot->RefCount, 2u);

    ReleaseSharedHandler(slot);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(CountedHandler::alive, 1);
    ReleaseSharedHandler(slot);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(CountedHandler::alive, 0);

    // A new user after the last one left gets a new handler.
    AcquireSharedHandler(slot);
    EXPECT_EQ(CountedHandler::alive, 1);
    ReleaseSharedHandler(slot);
    EXPECT_EQ(CountedHandler::alive, 0);
}

} // namespace
