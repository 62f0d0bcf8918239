// The same suite against the Qt loop and the virtual-time loop, so the double cannot drift.
#include "platform/qt/QtEventLoop.h"
#include "platform/testing/VirtualLoop.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace fw {
namespace {

using LoopFactory = std::unique_ptr<EventLoop> (*)();

class EventLoopConformance : public testing::TestWithParam<LoopFactory> {
protected:
    std::unique_ptr<EventLoop> loop = GetParam()();
};

TEST_P(EventLoopConformance, TimersFireInOrderOfDueTime)
{
    std::vector<std::string> ticks;
    auto slow = loop->createTimer(100);
    auto fast = loop->createTimer(40);
    slow->onTick = [&] { ticks.push_back("slow"); };
    fast->onTick = [&] { ticks.push_back("fast"); };
    slow->start();
    fast->start();
    loop->WaitMs(130, true);
    EXPECT_EQ(ticks, (std::vector<std::string>{"fast", "fast", "slow", "fast"}));
}

TEST_P(EventLoopConformance, WaitWithoutDispatchFiresNothingAndLastsLongerThanAsked)
{
    int ticks = 0;
    auto timer = loop->createTimer(10);
    timer->onTick = [&] { ++ticks; };
    timer->start();
    const auto before = loop->nowMs();
    loop->WaitMs(30, false);
    EXPECT_GT(loop->nowMs() - before, 30);
    EXPECT_EQ(ticks, 0);
    loop->WaitMs(5, true);
    EXPECT_GE(ticks, 1); // the tick that fell due meanwhile comes once events are handled
}

TEST_P(EventLoopConformance, ATickMayStopOrDestroyItsOwnTimer)
{
    int stopped = 0, destroyed = 0;
    auto stopping = loop->createTimer(10);
    std::unique_ptr<Timer> destroying = loop->createTimer(10);
    stopping->onTick = [&] {
        ++stopped;
        stopping->stop();
    };
    destroying->onTick = [&] {
        ++destroyed;
        destroying.reset();
    };
    stopping->start();
    destroying->start();
    loop->WaitMs(60, true);
    EXPECT_EQ(stopped, 1);
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(stopping->running());
}

TEST_P(EventLoopConformance, StartAgainCountsAFullIntervalFromNow)
{
    int ticks = 0;
    auto timer = loop->createTimer(50);
    timer->onTick = [&] { ++ticks; };
    timer->start();
    loop->WaitMs(30, true);
    timer->start(); // restarted 30 ms in: the first tick comes 50 ms later, not 20
    loop->WaitMs(35, true);
    EXPECT_EQ(ticks, 0);
    loop->WaitMs(30, true);
    EXPECT_EQ(ticks, 1);
}

TEST_P(EventLoopConformance, ModalWaitHandlesEventsUntilFinished)
{
    int ticks = 0;
    auto timer = loop->createTimer(10);
    timer->onTick = [&] {
        if (++ticks == 3) timer->stop();
    };
    timer->start();
    loop->runModal([&] { return ticks == 3; });
    EXPECT_EQ(ticks, 3);
}

TEST_P(EventLoopConformance, PostedCallsRunInOrderOnceEventsAreHandled)
{
    std::vector<int> order;
    loop->post([&] {
        order.push_back(1);
        loop->post([&] { order.push_back(3); });
    });
    loop->post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    loop->runModal([&] { return order.size() == 3; });
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

INSTANTIATE_TEST_SUITE_P(Loops, EventLoopConformance,
                         testing::Values(
                             +[]() -> std::unique_ptr<EventLoop> { return std::make_unique<QtEventLoop>(); },
                             +[]() -> std::unique_ptr<EventLoop> { return std::make_unique<VirtualLoop>(); }),
                         [](const auto& info) { return std::string(info.index == 0 ? "Qt" : "Virtual"); });

TEST(QtEventLoop, ReportsIdleOnceTheLastTimerStops)
{
    QtEventLoop loop;
    int idleCalls = 0;
    auto timer = loop.createTimer(10);
    int ticks = 0;
    timer->onTick = [&] {
        if (++ticks == 2) timer->stop();
    };
    timer->start();
    loop.setIdleHandler([&] { ++idleCalls; });
    loop.runModal([&] { return idleCalls > 0; });
    EXPECT_EQ(ticks, 2);
    EXPECT_TRUE(loop.idle());
}

TEST(QtEventLoop, WorkUnderWayKeepsItFromIdle)
{
    QtEventLoop loop;
    bool idleSeen = false;
    auto work = std::make_unique<WorkUnderWay>(loop);
    loop.setIdleHandler([&] { idleSeen = true; });
    loop.WaitMs(20, true);
    EXPECT_FALSE(idleSeen);
    work.reset();
    loop.runModal([&] { return idleSeen; });
    EXPECT_TRUE(idleSeen);
}

} // namespace
} // namespace fw
