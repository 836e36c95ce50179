#include "platform/Seconds.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

using namespace std::chrono_literals;

TEST(Seconds, DecimalsRoundToTheNearestNanosecondHalvesUp)
{
    EXPECT_EQ(parseSeconds("30"), 30s);
    EXPECT_EQ(parseSeconds("30.016"), 30016ms);
    EXPECT_EQ(parseSeconds("0.3333333333"), 333333333ns);
    EXPECT_EQ(parseSeconds("0.0000000005"), 1ns);
    EXPECT_EQ(parseSeconds("0.00000000049999999"), 0ns);
    EXPECT_EQ(parseSeconds("1.9999999999"), 2s);
    EXPECT_EQ(parseSeconds("000.1"), 100ms);
    // 100 years, to the nanosecond, and not one more.
    EXPECT_EQ(parseSeconds("3155760000"), longestSpan);
    EXPECT_EQ(parseSeconds("3155759999.9999999996"), longestSpan);
    for (const char* bad : {"3155760000.000000001", "3155760001", "99999999999999999999999", "", ".5", "1.", "-1",
                            "+1", "1e3", "0x10", "1,5", " 1", "1 ", "inf", "nan"})
        EXPECT_FALSE(parseSeconds(bad)) << bad;
    EXPECT_EQ(formatSeconds(30016ms), "30.016");
    EXPECT_EQ(formatSeconds(longestSpan), "3155760000");
    EXPECT_EQ(fromSeconds(1e300), longestSpan);
    EXPECT_EQ(fromSeconds(-1.0), 0ns);
}

} // namespace
} // namespace velorin
