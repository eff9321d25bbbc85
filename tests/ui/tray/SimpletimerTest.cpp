// The simple timer's states, counts and ticks, and its shared handler's lifetime.

#include "support/QtApplication.h"
#include "Simpletimer.h"

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

class SimpleTimer : public ::testing::Test {
protected:
    void SetUp() override { EnsureQtApplication(); }
    void Tick(TSimpleTimer& timer) { SimpleTimerHandler->TimerMessage(timer.SystemId()); }
};

TEST_F(SimpleTimer, NewTimerIsStoppedAndZeroIntervalNeverStarts)
{
    TSimpleTimer timer;
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(GetSimpleTimerActiveCount(), 0u);
    timer.SetInterval(0);
    timer.SetEnabled(true);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_FALSE(timer.Start());
    EXPECT_EQ(GetSimpleTimerActiveCount(), 0u);
    EXPECT_FALSE(timer.Stop(true));  // no system timer was set
}

TEST_F(SimpleTimer, RestartsAndIntervalChanges)
{
    TSimpleTimer timer(500, [](TSimpleTimer*) {});
    ASSERT_TRUE(timer.Start());
    EXPECT_EQ(GetSimpleTimerActiveCount(), 1u);
    const std::uint64_t set = SimpleTimerHandler->TimersSet;
    ASSERT_TRUE(timer.Start());  // restarts its period
    EXPECT_EQ(SimpleTimerHandler->TimersSet, set + 1);
    EXPECT_EQ(GetSimpleTimerActiveCount(), 1u);

    timer.SetInterval(500);  // unchanged: no restart
    EXPECT_EQ(SimpleTimerHandler->TimersSet, set + 1);

    timer.SetInterval(0);  // enabled but idle
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(timer.SystemId(), 0);
    EXPECT_EQ(GetSimpleTimerActiveCount(), 0u);
    timer.SetInterval(30);
    EXPECT_NE(timer.SystemId(), 0);
    EXPECT_EQ(GetSimpleTimerActiveCount(), 1u);

    timer.SetOnTimer({});  // idle again; a handler alone does not restart it
    EXPECT_TRUE(timer.Enabled());
    EXPECT_EQ(GetSimpleTimerActiveCount(), 0u);
    timer.SetOnTimer([](TSimpleTimer*) {});
    EXPECT_EQ(timer.SystemId(), 0);
    timer.SetEnabled(true);
    EXPECT_EQ(GetSimpleTimerActiveCount(), 1u);
    timer.SetEnabled(false);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(GetSimpleTimerActiveCount(), 0u);
}

TEST_F(SimpleTimer, OneShotIsDisabledBeforeItsHandlerWhichMayStartItAgain)
{
    int ticks = 0;
    bool enabledInHandler = true;
    TSimpleTimer timer(40, [&](TSimpleTimer* sender) {
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
    EXPECT_EQ(GetSimpleTimerActiveCount(), 0u);
}

TEST_F(SimpleTimer, TicksArriveThroughTheEventLoop)
{
    int ticks = 0;
    TSimpleTimer timer(5, [&](TSimpleTimer*) { ++ticks; });
    timer.Start();
    QElapsedTimer clock;
    clock.start();
    while (ticks < 3 && clock.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_GE(ticks, 3);
}

TEST_F(SimpleTimer, SharedHandlerLivesWithTheTimers)
{
    EXPECT_EQ(SimpleTimerHandler, nullptr);
    {
        TSimpleTimer a;
        TSimpleTimer b(10, {});
        EXPECT_EQ(GetSimpleTimerCount(), 2u);
        a.SetOnTimer([](TSimpleTimer*) {});
        a.Start();
    }
    EXPECT_EQ(SimpleTimerHandler, nullptr);
    EXPECT_EQ(GetSimpleTimerCount(), 0u);
    TSimpleTimer c;
    EXPECT_NE(SimpleTimerHandler, nullptr);
    EXPECT_EQ(GetSimpleTimerCount(), 1u);
}

} // namespace
