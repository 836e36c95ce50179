#include "recording/StreamRecords.h"
#include "sensor/sim/StreamFileReader.h"
#include "signal/PacketDecoder.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string record(const Bytes& packet)
{
    return "10022" + std::string(packet.begin(), packet.end());
}
// The pieces as the recorder writes them, so that what it writes is what a replay reads.
std::string errorText(std::string_view stamp = "")
{
    return PacketDecoder::errorText(stamp);
}
std::string header()
{
    return streamHeader("4F2C-11", "2017-05-27_101530");
}
// Distinct full packets; lead-like bytes inside do no harm, as a full record's length is fixed.
Bytes packet(int n)
{
    Bytes bytes(20, static_cast<std::uint8_t>(n));
    bytes[3] = '1';
    bytes[4] = '0';
    return bytes;
}

std::vector<Bytes> packetsOf(const std::string& bytes)
{
    auto result = parseStreamFile(bytes, "session.s2");
    if (auto* error = std::get_if<ReplayError>(&result)) {
        ADD_FAILURE() << describe(*error);
        return {};
    }
    std::vector<Bytes> values;
    for (const auto& update : std::get<0>(result)) {
        EXPECT_EQ(update.characteristic, "2A37");
        EXPECT_EQ(update.at, std::chrono::milliseconds(112) * static_cast<std::int64_t>(values.size() + 1));
        values.push_back(update.value);
    }
    return values;
}

TEST(StreamFile, PacketsComeOutInOrderPastErrorTextsAnnotationsAndTheHeader)
{
    const Bytes beforeFlush{0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0x01}, later{5, 6, 7}, atEnd{0x42, 0x43};
    const std::string bytes = record(packet(0)) + record(packet(1)) + errorText() + record(beforeFlush) +
                              record(packet(2)) + header() + record(packet(3)) + annotationRecord(154, "Walking") +
                              record(packet(4)) + errorText("2017-05-27_101530") + record(later) +
                              annotationRecord(45000, "Spazieren \xC3\xBC") + errorText("2017-05-27_111530") +
                              record(atEnd);
    EXPECT_EQ(packetsOf(bytes),
              (std::vector<Bytes>{packet(0), packet(1), beforeFlush, packet(2), packet(3), packet(4), later, atEnd}));
    EXPECT_TRUE(packetsOf("").empty());
}

TEST(StreamFile, ShortRecordEndsWhereTheNextPieceBegins)
{
    for (const Bytes& shortPacket : {Bytes{}, Bytes{1, 2, 3, 4}, Bytes(18, 0x07)})
        for (const auto& next :
             {record(packet(9)), errorText() + record({}), header(), annotationRecord(0, "Other")}) {
            SCOPED_TRACE(next.substr(0, 12));
            const auto packets = packetsOf(errorText("2017-05-27_101530") + record(shortPacket) + next);
            ASSERT_FALSE(packets.empty());
            EXPECT_EQ(packets[0], shortPacket);
        }
}

TEST(StreamFileErrors, MalformedPiecesAreReportedAtTheirOffset)
{
    const std::string twoRecords = record(packet(0)) + record(packet(1)); // 50 bytes
    const struct {
        std::string bytes;
        std::size_t offset;
        const char* mentions;
    } cases[] = {
        {twoRecords + "XYZ" + record(packet(2)), 50, "unrecognised bytes"},
        {"1002" + record(packet(0)), 0, "unrecognised bytes"},
        {twoRecords + record(Bytes(19, 0x07)), 50, "cut short: 19 of 20"},
        {twoRecords + errorText("2017-05-27") + record({1}), 50 + 34, "not followed by a packet record"},
        {twoRecords + errorText() + record(Bytes(19, 0x07)), 50 + 34, "holds 19 bytes"},
        {twoRecords + header().substr(0, 30), 50, "header without its end"},
        {twoRecords + "101168" "12.32" "1033101197" "Walking", 50, "malformed event annotation"},
        {twoRecords + "101168"
                      "12.320000"
                      "1033"
                      "Walking",
         50, "malformed event annotation"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mentions);
        const auto result = parseStreamFile(c.bytes, "session.s2");
        ASSERT_TRUE(std::holds_alternative<ReplayError>(result));
        const auto& error = std::get<ReplayError>(result);
        EXPECT_EQ(error.line, 0);
        EXPECT_NE(error.message.find(c.mentions), std::string::npos) << error.message;
        EXPECT_EQ(describe(error), "session.s2: byte " + std::to_string(c.offset) + ": " + error.message);
    }
}

} // namespace
} // namespace velorin
