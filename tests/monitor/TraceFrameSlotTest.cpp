#include "monitor/TraceFrameSlot.h"
#include "monitor/TraceTap.h"
#include "monitor/TraceView.h"
#include "platform/virtual/VirtualRuntime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace velorin {
namespace {

TraceFrame flatFrame(float value)
{
    TraceFrame frame{};
    for (TracePoint& p : frame.points)
        p = {0.0f, value};
    frame.newest = value;
    return frame;
}

TEST(TraceFrameSlot, ReaderTakesOnlyWholeFramesInOrder)
{
    std::atomic<int> published{0};
    TraceFrameSlot slot{[&] { ++published; }};
    EXPECT_FALSE(slot.take(1));

    // Every frame of the writer holds one value throughout; a torn copy would mix two.
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int n = 1; n <= 2000; ++n)
            slot.paint(flatFrame(static_cast<float>(n)));
        done = true;
    });
    std::uint64_t lastSequence = 0;
    for (std::size_t count = 1; !done; count = count % 3 + 1) {
        if (auto got = slot.take(count)) {
            for (const TracePoint& p : got->frame.points)
                ASSERT_EQ(p.y, got->frame.newest);
            ASSERT_EQ(got->frame.newest, static_cast<float>(got->sequence));
            ASSERT_GT(got->sequence, lastSequence);
            lastSequence = got->sequence;
        }
    }
    writer.join();
    EXPECT_EQ(published, 2000);
}

using Outcome = TraceTap::Outcome;

// A tap pauses the trace and the next one resumes it; the debounce timers die with the tap.
TEST(TraceTap, PausesAndResumesAndItsTimersDieWithIt)
{
    VirtualRuntime rt;
    ApplicationState app;
    TraceView view{app};
    auto tap = std::make_unique<TraceTap>(view, rt.timers());
    EXPECT_EQ(tap->touchesEnded(), Outcome::paused);
    EXPECT_EQ(view.shouldStop(), 1);
    rt.runFor(0.6);
    EXPECT_EQ(tap->touchesEnded(), Outcome::resumed);
    EXPECT_EQ(view.shouldStop(), 0);

    tap->touchesEnded();
    tap->touchesEnded();
    tap.reset();
    rt.runFor(2.0); // would touch the destroyed tap if its timers survived it
    EXPECT_EQ(view.shouldStop(), 0);
}

} // namespace
} // namespace velorin
