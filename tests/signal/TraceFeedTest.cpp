#include "monitor/TraceView.h"
#include "signal/TraceFeed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace velorin {
namespace {

class CountingPainter : public TracePainter {
public:
    void paint(const TraceFrame& frame) override
    {
        ++frames;
        last = frame;
    }
    int frames = 0;
    TraceFrame last{};
};

struct FeedRig {
    ApplicationState appState;
    TraceView view{appState};
    TraceFeed feed{view};
    CountingPainter painter;
    FeedRig() { view.setPainter(&painter, [] { return defaultWindow; }); }

    std::vector<float> values() const
    {
        std::vector<float> out;
        for (std::size_t i = 0; i < view.ekgMap().count(); ++i)
            out.push_back(*view.ekgMap().at(i));
        return out;
    }
};

PacketSamples ramp(int from)
{
    PacketSamples s;
    for (int k = 0; k < 14; ++k)
        s[k] = from + k;
    return s;
}

TEST(TraceFeed, AveragesTruncateAndTheArrayWraps)
{
    FeedRig rig;
    PacketSamples odd{};
    odd.fill(1023);
    odd[0] = 3;
    odd[1] = 4;
    rig.feed.feed(odd); // first packet: second half is the packet itself
    EXPECT_EQ(*rig.view.ekgMap().at(7), 3.0f);
    EXPECT_EQ(*rig.view.ekgMap().at(8), 1023.0f);

    for (int n = 0; n < 26; ++n)
        rig.feed.feed(ramp(n * 10));
    EXPECT_EQ(rig.feed.traceWriteCount(), 13 * 14);
    EXPECT_EQ(rig.view.ekgMap().count(), 180u);
    // Value 181 (index 180) replaced element 0; value 182 replaced element 1.
    EXPECT_EQ(*rig.view.ekgMap().at(0), 258.0f);
    EXPECT_EQ(*rig.view.ekgMap().at(1), 260.0f);
}

// The curve as shown, oldest first.
std::vector<float> shown(const TraceView& view)
{
    const auto curve = view.curve();
    std::vector<float> out;
    for (std::size_t i = 0; i < traceLength; ++i)
        out.push_back(curve[(view.curveStart() + i) % traceLength]);
    return out;
}

TEST(TraceView, FramesFollowTheFeedAndAGapSeparatesWhatWasNotNextToIt)
{
    FeedRig rig;
    rig.view.drawView(); // empty array: a flat frame, nothing taken
    EXPECT_EQ(rig.view.curveStart(), 0u);
    for (int n = 0; n < 4; ++n)
        rig.feed.feed(ramp(100 * n));
    EXPECT_EQ(rig.painter.frames, 1 + 26);
    // A frame shows the ring as it stood before the call: the newest point is the value taken last.
    EXPECT_EQ(rig.painter.last.newest, 208.0f);
    EXPECT_EQ(shown(rig.view).back(), 210.0f);
    rig.view.layoutSubviews(); // nothing new to take
    EXPECT_EQ(shown(rig.view).back(), 210.0f);
    EXPECT_EQ(rig.view.curveStart(), 26u);

    // Paused for a while, resumed, and (below) in the background: each time the newest values
    // follow a blank stretch, never a line from the last value shown.
    auto resumesWithAGap = [&](const char* what, const std::function<void()>& pause, const std::function<void()>& resume,
                               int from) {
        SCOPED_TRACE(what);
        pause();
        for (int n = 0; n < 6; ++n)
            rig.feed.feed(ramp(from + n));
        resume();
        rig.feed.feed(ramp(from + 10));
        rig.feed.feed(ramp(from + 20));
        const std::vector<float> line = shown(rig.view);
        const std::vector<float> latest = rig.values();
        const std::size_t end = static_cast<std::size_t>(rig.feed.traceWriteCount() % 180);
        for (std::size_t k = 0; k < 13; ++k)
            EXPECT_EQ(line[traceLength - 1 - k], latest[(end + 180 - 1 - k) % 180]) << k;
        for (std::size_t k = 13; k < 13 + TraceView::gapLength; ++k)
            EXPECT_TRUE(std::isnan(line[traceLength - 1 - k])) << k;
        EXPECT_FALSE(std::isnan(line[traceLength - 1 - 13 - TraceView::gapLength]));
    };
    resumesWithAGap("paused", [&] { rig.view.stopAnimation(); }, [&] { rig.view.startAnimation(); }, 400);
    resumesWithAGap("background", [&] { rig.appState.set(AppState::Background); },
                    [&] { rig.appState.set(AppState::Active); }, 500);
    // Late packets: whoever sees the silence breaks the trace.
    resumesWithAGap("late", [] {}, [&] { rig.view.breakTrace(); }, 600);
}

} // namespace
} // namespace velorin
