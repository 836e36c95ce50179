#include "sensor/sim/StreamFileReader.h"
#include "signal/StreamFormat.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Packets = std::vector<Bytes>;

// The pieces as the recorder writes them, so that what it writes is what a replay reads.
std::string record(const Bytes& packet)
{
    std::string bytes;
    appendPacketRecord(bytes, packet);
    return bytes;
}
std::string shortRecord(const Bytes& packet)
{
    return streamErrorText("2017-05-27_101530") + record(packet);
}
std::string header()
{
    return streamHeader("4F2C-11", "2017-05-27_101530");
}
// Binary packet bytes with no lead in them.
Bytes packet(std::size_t length, int seed = 0)
{
    Bytes bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<std::uint8_t>(0x80 + (seed * 31 + i * 7) % 0x70);
    return bytes;
}
Bytes withText(Bytes bytes, std::size_t at, std::string_view text)
{
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
}

Packets packetsOf(const std::string& bytes)
{
    auto result = parseStreamFile(bytes, "session.s2");
    if (auto* error = std::get_if<ReplayError>(&result)) {
        ADD_FAILURE() << describe(*error);
        return {};
    }
    Packets values;
    for (const auto& update : std::get<0>(result)) {
        EXPECT_EQ(update.characteristic, "2A37");
        EXPECT_EQ(update.at, std::chrono::milliseconds(112) * static_cast<std::int64_t>(values.size() + 1));
        values.push_back(update.value);
    }
    return values;
}

ReplayError errorOf(const std::string& bytes)
{
    auto result = parseStreamFile(bytes, "session.s2");
    if (!std::holds_alternative<ReplayError>(result)) {
        ADD_FAILURE() << "read " << std::get<0>(result).size() << " packets without an error";
        return {};
    }
    return std::get<ReplayError>(result);
}

// The fuzz test's writer puts hostile sensor identifiers, stamps and titles in every piece; what it
// does not reach is an annotation whose time spells a record lead: 125275 packets print as
// "10022.000000".
TEST(StreamFile, AnnotationsWhoseTimeSpellsALeadAreSkipped)
{
    for (const std::int64_t packets : {std::int64_t{125275}, std::int64_t{1'000'000'000'000'000}}) {
        const std::string a = annotationRecord(packets, "Laying");
        SCOPED_TRACE(a);
        EXPECT_EQ(packetsOf(a + record(packet(20, 1)) + a + record(packet(20, 2)) + a + a + shortRecord({9}) + a),
                  (Packets{packet(20, 1), packet(20, 2), Bytes{9}}));
    }
    EXPECT_TRUE(packetsOf("").empty());
}

TEST(StreamFileErrors, BoundariesTheBytesCannotDecideAreReportedNotGuessed)
{
    const std::string h = header();
    // A 40-byte packet spelling a record lead after its 20th byte, before a 20-byte packet: [20, 40]
    // and [40, 20] are written alike, and both readings explain the same bytes as records.
    const Bytes split = withText(packet(40, 1), 20, streamFormat::recordLead);
    const ReplayError splitError = errorOf(h + record(split) + record(packet(20, 2)));
    EXPECT_EQ(splitError.offset, h.size());
    EXPECT_EQ(splitError.message, "ambiguous end of the packet record: its packet may be 20 or 40 bytes long");
    // A long packet spelling a lead near its start, after a full packet that could take it in.
    const Bytes early = withText(packet(512, 3), 3, streamFormat::recordLead);
    const ReplayError error = errorOf(record(packet(20, 4)) + record(early));
    EXPECT_EQ(error.offset, 0u);
    EXPECT_EQ(error.message, "ambiguous end of the packet record: its packet may be 20 or 28 bytes long");
    // A title spelling a record lead, before a full packet: the title may end at that lead, and a
    // packet of the rest of the title and the full packet's record follow.
    EXPECT_EQ(errorOf(h + annotationRecord(1, "Walking 10022 steps") + record(packet(20, 5)) + h).message,
              "ambiguous end of the event annotation: its title may be 8 or 19 bytes long");
}

} // namespace
} // namespace velorin
