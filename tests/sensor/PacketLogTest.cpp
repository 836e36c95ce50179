#include "sensor/sim/PacketLogReader.h"
#include "../fakes/ByteMutator.h"
#include "../fakes/ChunkedReader.h"
#include "platform/ByteReader.h"
#include "platform/PrintableText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace velorin {
namespace {
using namespace std::chrono_literals;

std::vector<ReplayUpdate> parsed(std::string_view text)
{
    auto result = parsePacketLog(text, "test.log");
    if (auto* error = std::get_if<ReplayError>(&result)) {
        ADD_FAILURE() << describe(*error);
        return {};
    }
    return std::get<0>(std::move(result));
}

TEST(PacketLogGrammar, TimesCharacteristicsAndBytesInEveryAllowedSpelling)
{
    const auto updates = parsed("\xEF\xBB\xBF# a session\r\n" // an editor's byte order mark
                                "\n  \t\n"
                                "0102ff\n"                  // no time: 0.112 s in; no uuid: ECG
                                "2a19: 50   # battery\r\n"  // lower-case uuid
                                "@30.016 2A37: 01 02\tFF\n" // bytes apart
                                "ffe1:\n"                   // no value, other characteristic
                                "#@31 2A19: 00\n"
                                "@30.128\n" // equal time, empty ECG value
                                "@31 2A37:AB");
    EXPECT_EQ(updates, (std::vector<ReplayUpdate>{{112ms, "2A37", {0x01, 0x02, 0xFF}},
                                                  {224ms, "2A19", {0x50}},
                                                  {30016ms, "2A37", {0x01, 0x02, 0xFF}},
                                                  {30128ms, "FFE1", {}},
                                                  {30128ms, "2A37", {}},
                                                  {31000ms, "2A37", {0xAB}}}));
    EXPECT_TRUE(parsed("# nothing\n").empty());
}

// A byte source that never ends, counting what it hands out.
struct EndlessReader : ByteReader {
    std::size_t read(char* into, std::size_t size, FileResult&) override
    {
        const std::size_t n = std::min(size, lead.size() - std::min(lead.size(), served));
        std::copy_n(lead.data() + served, n, into);
        std::fill(into + n, into + size, 'A');
        served += size;
        return size;
    }
    std::string lead;
    std::size_t served = 0;
};

TEST(PacketLogLineLimit, LinesUpToTheLimitAreReadAndAnEndlessLineCostsOnlyTheLimit)
{
    constexpr std::size_t max = PacketLogReader::maxLineBytes;
    // The longest value (512 bytes) padded out to the limit.
    const std::string longest = std::string(1024, '0') + std::string(max - 1024, ' ');
    const std::string longestComment = "#" + std::string(max - 1, 'x');
    // At the limit: with and without a newline, as a comment and as a value.
    const auto updates = parsed("01\n" + longestComment + "\n" + longest + "\n" + longest);
    ASSERT_EQ(updates.size(), 3u);
    EXPECT_EQ(updates[1].value.size(), 512u);
    EXPECT_EQ(describe(std::get<ReplayError>(parsePacketLog(std::string(1026, 'f'), "big.log"))),
              "big.log:1: a value holds at most 512 bytes, not 513");

    for (const std::string& log : {"01\n" + longest + "0\n02\n", "01\n" + longest + "0"}) {
        const auto result = parsePacketLog(log, "big.log");
        ASSERT_TRUE(std::holds_alternative<ReplayError>(result));
        EXPECT_EQ(describe(std::get<ReplayError>(result)), "big.log:2: line longer than 1048576 bytes");
    }

    auto endless = std::make_unique<EndlessReader>();
    endless->lead = "01\n# note\n";
    EndlessReader& source = *endless;
    PacketLogReader reader(std::move(endless), "endless.log");
    ASSERT_TRUE(reader.next());
    EXPECT_FALSE(reader.next());
    ASSERT_TRUE(reader.error());
    EXPECT_EQ(reader.error()->line, 3);
    EXPECT_LE(source.served, source.lead.size() + max + 1);
}

const std::string validLogs[] = {
    "# a session\r\n0102ff\n2a19: 50   # battery\r\n@30.016 2A37: 01 02\tFF\nffe1:\n@30.128\n@31 2A37:AB",
    "@0.3333333333 00 11 22\n33\n44\n@1 2A19: 64\n@1\n@2.5 FFE1: 0a0b\n",
    "\n\n  # nothing yet\n@3155759999.776 01\n02\n03\n",
};

// Damaged logs are refused with a printable message naming one of their lines, or read with
// times that never go back; pieces of any size read them alike.
TEST(PacketLogFuzz, DamagedLogsAreReadOrRefusedCleanly)
{
    test::ByteMutator mutator(0x5EED);
    std::mt19937 pieces(7);
    for (int round = 0; round < 4000; ++round) {
        const std::string log = mutator.mutate(validLogs[static_cast<std::size_t>(round) % std::size(validLogs)]);
        SCOPED_TRACE(testing::PrintToString(log));
        const ReplayResult whole = parsePacketLog(log, "fuzz.log");
        if (const auto* error = std::get_if<ReplayError>(&whole)) {
            const std::string shown = describe(*error);
            ASSERT_TRUE(test::isPrintable(shown)) << shown;
            const auto lines = std::count(log.begin(), log.end(), '\n') + 1;
            ASSERT_GE(error->line, 1) << shown;
            ASSERT_LE(error->line, lines) << shown;
        } else {
            const auto& updates = std::get<0>(whole);
            for (std::size_t i = 0; i < updates.size(); ++i) {
                ASSERT_LE(updates[i].at, longestSpan);
                ASSERT_LE(i == 0 ? Nanoseconds{0} : updates[i - 1].at, updates[i].at);
            }
        }
        const bool bytewise = round % 2 == 0;
        PacketLogReader reader(
            std::make_unique<test::ChunkedReader>(
                log, [&] { return bytewise ? 1 : std::uniform_int_distribution<std::size_t>(1, 9)(pieces); }),
            "fuzz.log");
        ASSERT_EQ(readAllUpdates(reader), whole);
    }
}

} // namespace
} // namespace velorin
