#include "history/EdfWriter.h"
#include "history/StreamReader.h"
#include "TinyStream.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

using namespace std::string_literals;

TEST(StreamReader, TakesPacketsEventsAndShortPacketsAndDatesTheFirstPacketBeforeTheHeader)
{
    useCentralEuropeanTime();
    std::string problem;
    const auto stream = readRecordingStream(tinyStream(), problem);
    ASSERT_TRUE(stream) << problem;
    EXPECT_EQ(stream->packets, 3u);
    EXPECT_EQ(stream->shortPackets, std::vector<std::size_t>{1});
    ASSERT_EQ(stream->events.size(), 1u);
    EXPECT_EQ(stream->events[0].packetsBefore, 1u);
    EXPECT_EQ(stream->events[0].activity, "Walking");
    EXPECT_EQ(stream->sensorId, "S1");
    // 04:33:00 CET less two packet records before the header.
    EXPECT_EQ(stream->startMs, 1796614380000 - 224);
    ASSERT_EQ(stream->samples.size(), 42u);
    EXPECT_EQ(stream->samples[13], 113);
    EXPECT_EQ(stream->samples[14], 113); // the short packet holds the sample before it
    EXPECT_EQ(stream->samples[28], 500);
    EXPECT_TRUE(stream->warnings.empty());

    // A header first: the stamp is the start.
    const auto headerFirst = readRecordingStream(
        streamHeader("", "2026-12-07_043300") + packetRecord(rampPacket(1)), problem);
    ASSERT_TRUE(headerFirst) << problem;
    EXPECT_EQ(headerFirst->startMs, 1796614380000);

    // A stamp from a clock in another zone that this zone's clock skips (02:30 on the morning
    // summer time begins) is read with the offset before the change, with a warning.
    const auto skipped = readRecordingStream(
        streamHeader("", "2026-03-29_023000") + packetRecord(rampPacket(1)), problem);
    ASSERT_TRUE(skipped) << problem;
    EXPECT_EQ(skipped->startMs, 1774747800000); // 01:30 UTC, 03:30 summer time
    ASSERT_EQ(skipped->warnings.size(), 1u);
    EXPECT_NE(skipped->warnings[0].find("2026-03-29 03:30:00"), std::string::npos) << skipped->warnings[0];
}

TEST(StreamReader, HostileActivityTitlesStayOneLineAndShort)
{
    std::string problem;
    const auto stream = readRecordingStream(streamHeader("", "2026-12-07_043300") + packetRecord(rampPacket(1)) +
                                                annotationRecord(1, "a,b\nc\x14\x15\x00"s + std::string(500, 'x')),
                                            problem);
    ASSERT_TRUE(stream) << problem;
    ASSERT_EQ(stream->events.size(), 1u);
    const std::string& activity = stream->events[0].activity;
    EXPECT_TRUE(activity.starts_with("a,b\\x0Ac\\x14\\x15\\x00xxx")) << activity;
    EXPECT_EQ(activity.size(), 200u);
    EXPECT_EQ(stream->warnings.size(), 1u);
}

TEST(StreamReader, ACutFileKeepsItsWholeRecordsAndNeverYieldsABrokenExport)
{
    useCentralEuropeanTime();
    const std::string whole = tinyStream() + packetRecord(rampPacket(600));
    const std::size_t headerEnd = whole.size() - 50;
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        std::string problem;
        const auto stream = readRecordingStream(std::string_view(whole).substr(0, cut), problem);
        if (!stream) {
            EXPECT_LT(cut, headerEnd) << "cut at " << cut << ": " << problem;
            EXPECT_FALSE(problem.empty());
            continue;
        }
        EXPECT_EQ(stream->samples.size(), stream->packets * 14);
        // Cut inside the last packet record: the packets before it stand and a warning says so.
        if (cut > whole.size() - 25 && cut < whole.size() - 1) {
            EXPECT_EQ(stream->packets, 3u) << cut;
            EXPECT_EQ(stream->warnings.size(), 1u) << cut;
        }
        std::vector<std::string> warnings;
        const std::string edf = edfFile(*stream, {}, warnings);
        const std::size_t records = std::stoul(edf.substr(236, 8));
        const std::size_t annotationSamples = std::stoul(edf.substr(256 + 216 * 2 + 8, 8));
        EXPECT_EQ(edf.size(), 768 + records * (250 + annotationSamples * 2)) << cut;
    }
}

TEST(StreamReader, RefusesStreamsWithoutAStart)
{
    std::string problem;
    EXPECT_FALSE(readRecordingStream(packetRecord(rampPacket(1)) + packetRecord(rampPacket(2)), problem));
    EXPECT_NE(problem.find("no header"), std::string::npos);
    EXPECT_FALSE(readRecordingStream(streamHeader("", "not a stamp") + packetRecord(rampPacket(1)), problem));
    EXPECT_FALSE(readRecordingStream(streamHeader("", "2026-12-07_043300"), problem));
}

} // namespace
} // namespace velorin
