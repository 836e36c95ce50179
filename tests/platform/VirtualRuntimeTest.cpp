#include "platform/virtual/VirtualRuntime.h"

#include <gtest/gtest.h>

#include <thread>

#include <string>
#include <vector>

namespace velorin {
using namespace std::chrono_literals;
namespace {

TEST(VirtualRuntime, PostedWorkAndTimersRunInScheduleOrderAtTheirInstants)
{
    VirtualRuntime runtime(1000.0);
    std::vector<std::string> seen;
    runtime.timers().repeating(500ms, [&] { seen.push_back("tick@" + std::to_string(runtime.elapsed())); });
    runtime.timers().oneShot(500ms, [&] { seen.push_back("once"); });
    runtime.mainQueue().async([&] {
        seen.push_back("main");
        runtime.bluetoothQueue().async([&] { seen.push_back("bt"); });
    });
    runtime.runFor(1.0);
    EXPECT_EQ(seen, (std::vector<std::string>{"main", "bt", "tick@0.500000", "once", "tick@1.000000"}));
    EXPECT_DOUBLE_EQ(runtime.now(), 1001.0);
    EXPECT_DOUBLE_EQ(runtime.clock().now(), 1001.0);
}

TEST(VirtualRuntime, RepeatingTimerDoesNotDriftAndCanCancelItself)
{
    VirtualRuntime runtime;
    int fired = 0;
    double last = 0;
    Timers::Id id = 0;
    id = runtime.timers().repeating(112ms, [&] {
        ++fired;
        last = runtime.now();
        if (fired == 100000)
            runtime.timers().cancel(id);
    });
    runtime.runFor(20000.0);
    EXPECT_EQ(fired, 100000);
    EXPECT_DOUBLE_EQ(last, 0.112 * 100000);
    EXPECT_EQ(runtime.pendingCount(), 0u);
}

TEST(VirtualRuntime, FireNowCancelledOneShotAndStopAfterTheCurrentTask)
{
    VirtualRuntime runtime;
    int repeating = 0, once = 0;
    runtime.timers().repeating(5s, [&] { if (++repeating == 11) runtime.stop(); }, true);
    const auto id = runtime.timers().oneShot(45s, [&] { ++once; });
    runtime.runPending();
    EXPECT_EQ(repeating, 1);
    runtime.timers().cancel(id);
    runtime.runFor(100.0);
    EXPECT_EQ(repeating, 11);
    EXPECT_EQ(once, 0);
    EXPECT_DOUBLE_EQ(runtime.elapsed(), 50.0);
}

// An HTTP completion posts from its own thread: the task runs on the runtime's thread, at the next step.
TEST(VirtualRuntimeThreads, WorkPostedFromAnotherThreadRunsAtTheNextStep)
{
    VirtualRuntime runtime;
    std::thread::id ranOn;
    int runs = 0;
    std::thread poster([&] { runtime.bluetoothQueue().async([&] { ranOn = std::this_thread::get_id(); ++runs; }); });
    poster.join();
    EXPECT_EQ(runs, 0);
    runtime.runFor(1.0);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

} // namespace
} // namespace velorin
