#include "monitor/TracePacer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velorin {
namespace {

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

} // namespace
} // namespace velorin
