#include "../fakes/MonitorRig.h"
#include "platform/LocalTime.h"
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

TEST(LocalTime, StartTimesFromYearOneToNineThousandNineHundredNinetyNine)
{
    useTestTimeZone(); // CET/CEST: spring forward 02:00 -> 03:00 on the last Sunday of March
    std::string problem;
    EXPECT_EQ(parseLocalDateTime("1970-01-01T01:00:00"), 0.0);
    EXPECT_EQ(parseLocalDateTime("1970-01-01T00:59:59"), -1.0); // mktime's failure value, but a real time
    const auto first = parseLocalDateTime("0001-01-01T00:00:00");
    ASSERT_TRUE(first);
    EXPECT_EQ(formatFileStamp(*first), "0001-01-01_000000");
    const auto last = parseLocalDateTime("9999-12-31T23:59:59");
    ASSERT_TRUE(last);
    EXPECT_EQ(formatDateTime(*last), "9999-12-31 23:59:59");

    EXPECT_FALSE(parseLocalDateTime("2026-03-29T02:30:00", &problem));
    EXPECT_NE(problem.find("daylight-saving"), std::string::npos) << problem;
    EXPECT_TRUE(parseLocalDateTime("2026-10-25T02:30:00")); // repeated in autumn: one of the two
    for (const char* bad : {"0000-01-01T00:00:00", "2026-02-29T00:00:00", "2026-04-31T00:00:00",
                            "2026-01-01T24:00:00", "2026-01-01T00:00:60", "2026-01-01 00:00:00", "2026-1-01T00:00:00"}) {
        EXPECT_FALSE(parseLocalDateTime(bad, &problem)) << bad;
        EXPECT_EQ(problem.find("daylight"), std::string::npos) << bad;
    }
}

} // namespace
} // namespace velorin
