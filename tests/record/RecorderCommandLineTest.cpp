#include "RecorderOptions.h"
#include "../fakes/ByteMutator.h"
#include "RecorderScript.h"
#include "fakes/MemoryFiles.h"
#include "platform/PrintableText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace velorin {
namespace {

OptionsResult parse(std::vector<std::string> args)
{
    return parseRecorderOptions(args, "/home/ana", "");
}

TEST(RecorderOptions, BadValuesAreRefusedWithAReason)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--sensor", "replay:"}, {"--sensor", "usb"}, {"--clock"}, {"--duration", "ten"}, {"--duration", "-1"},
             {"--start", "2017-02-30T10:00:00", "--clock", "virtual"},
             {"--start", "2017-05-27 10:15:00", "--clock", "virtual"}, {"--start", "2017-05-27T10:15:00"},
             {"--sensor", "ble", "--clock", "virtual"}, {"--sim-bpm", "10"}, {"--sim-bpm", "72.5"}, {"extra"},
             {"--login-endpoint", "127.0.0.1/api/login"}, {"--collection-endpoint", "http://"},
             // Unusable as a whole: every upload would fail later and stay in the Buffer for good.
             {"--collection-endpoint", "http://127.0.0.1:99999/x"}, {"--collection-endpoint", "http://a b/"},
             {"--collection-endpoint", "http://127.0.0.1:1/%zz"}, {"--collection-endpoint", "http://127.0.0.1:0/"},
             {"--collection-endpoint", "http://[::1/x"}, {"--login-endpoint", "http://u@h/l"},
             {"--login-endpoint", "http://h/\x01"}, {"--collection-endpoint", "http://.../x"},
             {"--collection-endpoint", "http://-h/x"}, {"--collection-endpoint", "http://" + std::string(64, 'a') + ".b/"}}) {
        const auto r = parse(args);
        EXPECT_FALSE(r.options) << args[0];
        EXPECT_FALSE(r.error.empty());
    }
}

TEST(RecorderOptions, EndpointsAndTheLoginCommand)
{
    for (const char* url : {"http://[::1]:65535/a%20b?x=1#f", "http://collect-1.example.org.:92", "HTTPS://127.0.0.1/c"})
        EXPECT_TRUE(parse({"--collection-endpoint", url}).options) << url;
    const auto login = parseLoginOptions({"--user", "", "--password", "a b", "--login-endpoint", "http://h/l"}, "/home/ana");
    ASSERT_TRUE(login.options) << login.error;
    EXPECT_EQ(login.options->password, "a b");
    EXPECT_FALSE(parseLoginOptions({"--user", "a", "--password", "b", "--login-endpoint", "ftp://h/l"}, "/home/ana").options);
}

TEST(RecorderScript, CommandsCommentsAndErrors)
{
    const auto ok = parseRecorderScript("\xEF\xBB\xBF# demo\n0 start\n\n12.5 background   # lock the phone\n30 stop\n40 quit\n",
                                        "demo.txt");
    ASSERT_TRUE(ok.ok()) << ok.error;
    ASSERT_EQ(ok.commands.size(), 4u);
    EXPECT_EQ(ok.commands[1].kind, ScriptCommand::Kind::background);
    EXPECT_EQ(ok.commands[1].at, std::chrono::milliseconds(12500));
    EXPECT_EQ(ok.commands[1].line, 4);
    EXPECT_EQ(parseRecorderScript("0 start\n3 jump\n", "s").error, "s:2: unknown command \"jump\"");

    // Commands the program it runs in cannot carry out are refused before the run.
    MemoryFiles files;
    files.files["run"] = "0 zoom\n1 minimize\n2 sim drop\n";
    EXPECT_EQ(readRecorderScript(files, "run", true, false).error, "run:2: window commands need velorin");
    EXPECT_EQ(readRecorderScript(files, "run", false, true).error, "run:3: sim commands need --sensor sim");
    EXPECT_EQ(readRecorderScript(files, "run", true, true).commands.size(), 3u);
}

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
