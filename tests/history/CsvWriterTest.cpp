#include "history/CsvWriter.h"
#include "history/StreamReader.h"
#include "TinyStream.h"

#include <gtest/gtest.h>

#include <sstream>

namespace velorin {
namespace {

std::vector<std::string> csvLines(const RecordingStream& stream)
{
    std::string text;
    EXPECT_TRUE(writeCsv(stream, [&](std::string_view piece) {
        text += piece;
        return true;
    }));
    EXPECT_TRUE(text.ends_with('\n'));
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(CsvWriter, OneLinePerSampleInLocalTimeWithEventsInPlaceAndAGapForAShortPacket)
{
    useCentralEuropeanTime();
    std::string problem;
    auto stream = readRecordingStream(tinyStream(), problem);
    ASSERT_TRUE(stream) << problem;
    const std::vector<std::string> lines = csvLines(*stream);
    ASSERT_EQ(lines.size(), 1u + 14u + 1u + 14u);
    EXPECT_EQ(lines[0], "time,seconds,value");
    EXPECT_EQ(lines[1], "2026-12-07T04:32:59.776+01:00,0.000,100");
    EXPECT_EQ(lines[4], "2026-12-07T04:32:59.800+01:00,0.024,103");
    EXPECT_EQ(lines[14], "2026-12-07T04:32:59.880+01:00,0.104,113");
    EXPECT_EQ(lines[15], "# event 0.112 Walking");
    EXPECT_EQ(lines[16], "2026-12-07T04:33:00.000+01:00,0.224,500");

    stream->events[0].activity = "Walk, then run\\x0A";
    EXPECT_EQ(csvLines(*stream)[15], "# event 0.112 Walk\\x2C then run\\x0A");
}

} // namespace
} // namespace velorin
