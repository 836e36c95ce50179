#include "monitor/TraceFrameSlot.h"
#include "monitor/TraceView.h"

#include <gtest/gtest.h>

#include <atomic>
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

} // namespace
} // namespace velorin
