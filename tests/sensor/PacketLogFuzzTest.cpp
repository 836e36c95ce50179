#include "sensor/sim/PacketLogReader.h"

#include "../fakes/ByteMutator.h"
#include "platform/PrintableText.h"
#include "../fakes/ChunkedReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace velorin {
namespace {

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
