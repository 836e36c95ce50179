#include "monitor/TraceFrameSlot.h"
#include "monitor/TraceTap.h"
#include "monitor/TraceView.h"
#include "platform/virtual/VirtualRuntime.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace velorin {
namespace {

using Outcome = TraceTap::Outcome;

TEST(TraceTap, PausesAndResumesWithDebounce)
{
    VirtualRuntime rt;
    ApplicationState app;
    TraceView view{app};
    TraceTap tap{view, rt.timers()};

    EXPECT_EQ(tap.touchesEnded(), Outcome::paused);
    EXPECT_EQ(view.shouldStop(), 1);
    rt.runFor(0.4);
    EXPECT_EQ(tap.touchesEnded(), Outcome::ignored); // within 0.5 s; clears again at 1.4 s
    rt.runFor(0.1);
    EXPECT_EQ(tap.touchesEnded(), Outcome::resumed);
    EXPECT_EQ(view.shouldStop(), 0);
    rt.runFor(0.6);
    // The ignored tap's late clearing lands inside the next debounce and cuts it short.
    EXPECT_EQ(tap.touchesEnded(), Outcome::paused);
    rt.runFor(0.3);
    EXPECT_EQ(tap.shouldWait(), 0);
}

TEST(TraceTap, PendingTimersDieWithTheTap)
{
    VirtualRuntime rt;
    ApplicationState app;
    TraceView view{app};
    {
        TraceTap tap{view, rt.timers()};
        tap.touchesEnded();
        tap.touchesEnded();
    }
    rt.runFor(2.0); // would touch the destroyed tap if its timers survived it
    EXPECT_EQ(view.shouldStop(), 1);
}

TEST(TraceFrameSlot, ReaderSeesOnlyWholeFrames)
{
    ApplicationState app;
    TraceView view{app};
    std::atomic<int> published{0};
    TraceFrameSlot slot{[&] { ++published; }};
    EXPECT_FALSE(slot.latest());
    view.setPainter(&slot, [] { return defaultWindow; });

    // Every frame of the writer holds one value throughout; a torn copy would mix two.
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int n = 1; n <= 2000; ++n) {
            view.ekgMap().write(static_cast<std::size_t>(n % 180), 0.0f);
            TraceFrame frame{};
            for (TracePoint& p : frame.points)
                p = {0.0f, static_cast<float>(n)};
            frame.newest = static_cast<float>(n);
            slot.paint(frame);
        }
        done = true;
    });
    std::uint64_t lastSequence = 0;
    while (!done) {
        if (auto got = slot.latest()) {
            for (const TracePoint& p : got->frame.points)
                ASSERT_EQ(p.y, got->frame.newest);
            ASSERT_GE(got->sequence, lastSequence);
            lastSequence = got->sequence;
        }
    }
    writer.join();
    EXPECT_EQ(slot.latest()->sequence, 2000u);
    EXPECT_EQ(published, 2000);

    view.drawView(); // the renderer publishes through the same slot
    EXPECT_EQ(slot.latest()->sequence, 2001u);
    EXPECT_EQ(slot.latest()->frame.window.top, 750.0f);
}

} // namespace
} // namespace velorin
