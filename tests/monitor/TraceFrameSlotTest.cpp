#include "monitor/TraceFrameSlot.h"
#include "monitor/TracePacer.h"
#include "monitor/TraceTap.h"
#include "monitor/TraceView.h"
#include "platform/virtual/VirtualRuntime.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    ApplicationState app;
    TraceView view{app};
    std::atomic<int> published{0};
    TraceFrameSlot slot{[&] { ++published; }};
    EXPECT_FALSE(slot.take(1));
    view.setPainter(&slot, [] { return defaultWindow; });

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

    view.drawView(); // the renderer publishes through the same slot
    const auto last = slot.take(TraceFrameSlot::capacity);
    EXPECT_EQ(last->sequence, 2001u);
    EXPECT_EQ(last->frame.window.top, 750.0f);
    EXPECT_EQ(slot.waiting(), 0u);
}

TEST(TraceFrameSlot, AReaderFarBehindLosesTheOldestFrames)
{
    TraceFrameSlot slot;
    for (int n = 1; n <= 40; ++n)
        slot.paint(flatFrame(static_cast<float>(n)));
    EXPECT_EQ(slot.waiting(), TraceFrameSlot::capacity);
    EXPECT_EQ(slot.take(1)->sequence, 9u); // 1 to 8 were dropped
    EXPECT_EQ(slot.take(2)->frame.newest, 11.0f);
    EXPECT_EQ(slot.take(100)->sequence, 40u);
    EXPECT_FALSE(slot.take(1));
}

// Ten seconds of the feed's bursts (13 frames every 0.224 s) against display ticks on time and
// ticks that keep coming late.
TEST(TracePacer, GlidesThroughBurstsAndCatchesUpWhenTicksAreLate)
{
    EXPECT_EQ(TracePacer::framesToAdvance(0), 0u);
    for (const double tick : {0.033, 0.050}) {
        SCOPED_TRACE(tick);
        std::size_t waiting = 0;
        std::size_t largestStep = 0;
        double nextBurst = 0.0;
        for (double now = 0.0; now < 10.0; now += tick) {
            for (; nextBurst <= now; nextBurst += 0.224)
                waiting += 13;
            if (waiting == 0)
                continue; // the ticks have stopped
            const std::size_t step = TracePacer::framesToAdvance(waiting);
            ASSERT_LE(step, waiting);
            waiting -= step;
            largestStep = std::max(largestStep, step);
            // What is left is the picture's delay behind the newest frame: at most about 0.3 s.
            ASSERT_LE(waiting, 17u);
        }
        if (tick < 0.04) {
            EXPECT_EQ(largestStep, 2u); // never a jump of a whole burst
        }
    }
}

using Outcome = TraceTap::Outcome;

TEST(TraceTap, PausesAndResumesWithDebounceAndItsTimersDieWithIt)
{
    VirtualRuntime rt;
    ApplicationState app;
    TraceView view{app};
    auto tap = std::make_unique<TraceTap>(view, rt.timers());

    EXPECT_EQ(tap->touchesEnded(), Outcome::paused);
    EXPECT_EQ(view.shouldStop(), 1);
    rt.runFor(0.4);
    EXPECT_EQ(tap->touchesEnded(), Outcome::ignored); // within 0.5 s; clears again at 1.4 s
    rt.runFor(0.1);
    EXPECT_EQ(tap->touchesEnded(), Outcome::resumed);
    EXPECT_EQ(view.shouldStop(), 0);
    rt.runFor(0.6);
    // The ignored tap's late clearing lands inside the next debounce and cuts it short.
    EXPECT_EQ(tap->touchesEnded(), Outcome::paused);
    rt.runFor(0.3);
    EXPECT_EQ(tap->shouldWait(), 0);

    tap->touchesEnded();
    tap->touchesEnded();
    tap.reset();
    rt.runFor(2.0); // would touch the destroyed tap if its timers survived it
    EXPECT_EQ(view.shouldStop(), 0);
}

} // namespace
} // namespace velorin
