#include "sensor/sim/PacketLog.h"

#include <gtest/gtest.h>

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
    const auto updates = parsed("# a session\r\n"
                                "\n  \t\n"
                                "0102ff\n"                  // no time: 0.112 s in; no uuid: ECG
                                "2a19: 50   # battery\r\n"  // lower-case uuid
                                "@30.016 2A37: 01 02\tFF\n" // bytes apart
                                "ffe1:\n"                   // no value, other characteristic
                                "#@31 2A19: 00\n"
                                "@30.128\n" // equal time, empty ECG value
                                "@31 2A37:AB");
    const std::vector<ReplayUpdate> expected{{112ms, "2A37", {0x01, 0x02, 0xFF}},
                                             {224ms, "2A19", {0x50}},
                                             {30016ms, "2A37", {0x01, 0x02, 0xFF}},
                                             {30128ms, "FFE1", {}},
                                             {30128ms, "2A37", {}},
                                             {31000ms, "2A37", {0xAB}}};
    ASSERT_EQ(updates.size(), expected.size());
    for (std::size_t i = 0; i < updates.size(); ++i) {
        EXPECT_EQ(updates[i].at, expected[i].at) << i;
        EXPECT_EQ(updates[i].characteristic, expected[i].characteristic) << i;
        EXPECT_EQ(updates[i].value, expected[i].value) << i;
    }
    EXPECT_TRUE(parsed("# nothing\n").empty());
}

TEST(PacketLogErrors, EachMalformedLineIsReportedWithItsNumber)
{
    const struct {
        const char* text;
        int line;
        const char* mentions;
    } cases[] = {
        {"01\n@x 02\n", 2, "bad time"},
        {"@ 01\n", 1, "bad time"},
        {"@-1 01\n", 1, "bad time"},
        {"@1e3 01\n", 1, "bad time"},
        {"@1. 01\n", 1, "bad time"},
        {"@.5 01\n", 1, "bad time"},
        {"#\n\n@1.0.0 01\n", 3, "bad time"},
        {"2A3: 01\n", 1, "bad characteristic"},
        {"2A370: 01\n", 1, "bad characteristic"},
        {"2G37: 01\n", 1, "bad characteristic"},
        {"2A37 : 01\n", 1, "bad characteristic"},
        {"01 02: 03\n", 1, "bad characteristic"},
        {"@1 01\n@2 0G\n", 2, "'G' is not a hex digit"},
        {"hello\n", 1, "'h' is not a hex digit"},
        {"012\n", 1, "odd number of hex digits"},
        {"0 1\n", 1, "odd number of hex digits"},
        {"@2 01\n@1.999 02\n", 2, "time 1.999 is earlier than the previous update's 2"},
        {"@1 01\n02\n@1.1 03\n", 3, "earlier than the previous"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto result = parsePacketLog(c.text, "test.log");
        ASSERT_TRUE(std::holds_alternative<ReplayError>(result));
        const auto& error = std::get<ReplayError>(result);
        EXPECT_EQ(error.line, c.line);
        EXPECT_NE(error.message.find(c.mentions), std::string::npos) << error.message;
        EXPECT_EQ(describe(error), "test.log:" + std::to_string(c.line) + ": " + error.message);
    }
}

} // namespace
} // namespace velorin
