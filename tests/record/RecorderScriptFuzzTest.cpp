#include "RecorderScript.h"

#include "../fakes/ByteMutator.h"
#include "platform/PrintableText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace velorin {
namespace {

const std::string validScripts[] = {
    "# demo\n0 start\n\n12.5 background   # lock the phone\n30 stop\n40 quit\n",
    "0.000000001\tforeground\r\n1 inactive\n3155760000 quit",
    "1 choose 1 0000\n2 sim away 3.5\n3 sim radio on\n4 sim rssi -86\n5 mark Walking none\n6 offline\n",
};

// Damaged scripts are refused with a printable message naming one of their lines, or give
// commands in line order within 100 years.
TEST(RecorderScriptFuzz, DamagedScriptsAreReadOrRefusedCleanly)
{
    test::ByteMutator mutator(0xC0FFEE);
    for (int round = 0; round < 4000; ++round) {
        const std::string script =
            mutator.mutate(validScripts[static_cast<std::size_t>(round) % std::size(validScripts)]);
        SCOPED_TRACE(testing::PrintToString(script));
        const ScriptResult result = parseRecorderScript(script, "fuzz.script");
        if (!result.ok()) {
            ASSERT_TRUE(test::isPrintable(result.error)) << result.error;
            ASSERT_TRUE(result.commands.empty());
            const std::string prefix = "fuzz.script:";
            ASSERT_EQ(result.error.compare(0, prefix.size(), prefix), 0) << result.error;
            const int line = std::stoi(result.error.substr(prefix.size()));
            ASSERT_GE(line, 1) << result.error;
            ASSERT_LE(line, std::count(script.begin(), script.end(), '\n') + 1) << result.error;
            continue;
        }
        for (std::size_t i = 0; i < result.commands.size(); ++i) {
            ASSERT_LE(result.commands[i].at, longestSpan);
            if (i > 0) {
                ASSERT_LT(result.commands[i - 1].line, result.commands[i].line);
            }
        }
    }
}

} // namespace
} // namespace velorin
