#include "monitor/TraceTap.h"
#include "monitor/TraceView.h"
#include "platform/virtual/VirtualRuntime.h"

#include <gtest/gtest.h>

#include <memory>

namespace velorin {
namespace {

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
