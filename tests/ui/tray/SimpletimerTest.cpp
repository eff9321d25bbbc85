// The simple timer's states, counts and ticks, and the counts its shared handler keeps.

#include "support/QtApplication.h"
#include "Simpletimer.h"

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

class SimpleTimer : public ::testing::Test {
protected:
    void SetUp() override { EnsureQtApplication(); }
    void Tick(TSimpleTimer& timer) { handler.TimerMessage(timer.SystemId()); }
    TSimpleTimerHandler handler;
};

TEST_F(SimpleTimer, NewTimerIsStoppedAndZeroIntervalNeverStarts)
{
    TSimpleTimer timer(handler);
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(handler.ActiveCount, 0u);
    timer.SetInterval(0);
    timer.SetEnabled(true);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_FALSE(timer.Start());
    EXPECT_EQ(handler.ActiveCount, 0u);
    EXPECT_FALSE(timer.Stop(true));  // no system timer was set
}

TEST_F(SimpleTimer, RestartsAndIntervalChanges)
{
    TSimpleTimer timer(handler, 500, [](TSimpleTimer*) {});
    ASSERT_TRUE(timer.Start());
    EXPECT_EQ(handler.ActiveCount, 1u);
    const std::uint64_t set = handler.TimersSet;
    ASSERT_TRUE(timer.Start());  // restarts its period
    EXPECT_EQ(handler.TimersSet, set + 1);
    EXPECT_EQ(handler.ActiveCount, 1u);

    timer.SetInterval(500);  // unchanged: no restart
    EXPECT_EQ(handler.TimersSet, set + 1);

    timer.SetInterval(0);  // enabled but idle
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.SystemId(), 0);
    EXPECT_EQ(handler.ActiveCount, 0u);
    timer.SetInterval(30);
    EXPECT_NE(timer.SystemId(), 0);
    EXPECT_EQ(handler.ActiveCount, 1u);

    timer.SetOnTimer({});  // idle again; a handler alone does not restart it
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(handler.ActiveCount, 0u);
    timer.SetOnTimer([](TSimpleTimer*) {});
    EXPECT_EQ(timer.SystemId(), 0);
    timer.SetEnabled(true);
    EXPECT_EQ(handler.ActiveCount, 1u);
    timer.SetEnabled(false);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(handler.ActiveCount, 0u);
}

TEST_F(SimpleTimer, OneShotIsDisabledBeforeItsHandlerWhichMayStartItAgain)
{
    int ticks = 0;
    bool enabledInHandler = true;
    TSimpleTimer timer(handler, 40, [&](TSimpleTimer* sender) {
        ++ticks;
        enabledInHandler = sender->Enabled();
        if (ticks == 1)
            sender->SetEnabled(true);
    });
    timer.OneShot = true;
    timer.Start();
    Tick(timer);
    EXPECT_FALSE(enabledInHandler);
    EXPECT_TRUE(timer.Enabled());
    Tick(timer);
    EXPECT_EQ(ticks, 2);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(handler.ActiveCount, 0u);
}

TEST_F(SimpleTimer, TicksArriveThroughTheEventLoop)
{
    int ticks = 0;
    TSimpleTimer timer(handler, 5, [&](TSimpleTimer*) { ++ticks; });
    timer.Start();
    QElapsedTimer clock;
    clock.start();
    while (ticks < 3 && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_GE(ticks, 3);
}

TEST_F(SimpleTimer, TheSharedHandlerCountsItsTimers)
{
    {
        TSimpleTimer a(handler);
        TSimpleTimer b(handler, 10, {});
        EXPECT_EQ(handler.RefCount, 2u);
        a.SetOnTimer([](TSimpleTimer*) {});
        a.Start();
        EXPECT_EQ(handler.ActiveCount, 1u);
    }
    // A running timer that goes takes its system timer with it.
    EXPECT_EQ(handler.RefCount, 0u);
    EXPECT_EQ(handler.ActiveCount, 0u);
}

} // namespace
