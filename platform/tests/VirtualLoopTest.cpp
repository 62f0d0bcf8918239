// What only the virtual-time loop promises: exact boundaries and a failing endless modal wait.
#include "platform/testing/VirtualLoop.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

using namespace std::chrono_literals;

TEST(VirtualLoop, FiresOnTheIntervalAndNotBefore)
{
    VirtualLoop loop;
    int ticks = 0;
    auto timer = loop.createTimer(1000);
    timer->onTick = [&] { ++ticks; };
    timer->start();
    loop.advanceBy(39999ms);
    EXPECT_EQ(ticks, 39);
    loop.advanceBy(1ms); // the boundary is the test
    EXPECT_EQ(ticks, 40);
    EXPECT_EQ(loop.nowMs(), 40000);
}

TEST(VirtualLoop, ModalWaitThatNothingCanEndFailsInsteadOfHanging)
{
    VirtualLoop loop;
    EXPECT_THROW(loop.runModal([] { return false; }), ModalWaitNeverEnds);
    EXPECT_EQ(loop.modalDepth(), 0);
}

TEST(VirtualLoop, NestedWaitInsideATickKeepsOtherTimersTicking)
{
    VirtualLoop loop;
    int fast = 0;
    auto fastTimer = loop.createTimer(100);
    auto slowTimer = loop.createTimer(1000);
    fastTimer->onTick = [&] { ++fast; };
    slowTimer->onTick = [&] {
        slowTimer->stop();
        loop.WaitMs(2000, true); // as a transfer's reboot wait does
    };
    fastTimer->start();
    slowTimer->start();
    loop.advanceBy(1000ms);
    EXPECT_EQ(fast, 30); // ten before the slow tick, twenty during its wait
    EXPECT_EQ(loop.nowMs(), 3001);
}

TEST(VirtualLoop, TimersDueTogetherFireInTheOrderTheyWereStarted)
{
    VirtualLoop loop;
    std::string order;
    auto a = loop.createTimer(10);
    auto b = loop.createTimer(10);
    a->onTick = [&] { order += 'a'; };
    b->onTick = [&] { order += 'b'; };
    b->start();
    a->start();
    loop.advanceBy(20ms);
    EXPECT_EQ(order, "baba");
}

} // namespace
} // namespace fw
