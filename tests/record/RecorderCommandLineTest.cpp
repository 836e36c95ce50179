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
using namespace std::string_literals;

OptionsResult parse(std::vector<std::string> args)
{
    return parseRecorderOptions(args, "/home/ana", "");
}

TEST(RecorderOptions, DefaultsFollowTheHomeAndXdgDirectories)
{
    const auto plain = parse({});
    ASSERT_TRUE(plain.options);
    EXPECT_EQ(plain.options->documents, "/home/ana/Documents/Velorin");
    EXPECT_EQ(plain.options->settings, "/home/ana/.config/Velorin/settings.json");
    EXPECT_EQ(plain.options->sensor, RecorderOptions::Sensor::sim);
    EXPECT_EQ(plain.options->clock, RecorderOptions::ClockKind::real);
    EXPECT_EQ(plain.options->simBpm, 72);

    const auto xdg = parseRecorderOptions({}, "/home/ana", "/data/docs");
    EXPECT_EQ(xdg.options->documents, "/data/docs/Velorin");
    EXPECT_EQ(xdg.options->settings, "/home/ana/.config/Velorin/settings.json");
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
    const auto plain = parse({"--login-endpoint", "http://127.0.0.1:8/api/login", "--collection-endpoint",
                              "HTTPS://127.0.0.1/c"});
    for (const char* url : {"http://[::1]:65535/a%20b?x=1#f", "http://collect-1.example.org.:92"})
        EXPECT_TRUE(parse({"--collection-endpoint", url}).options) << url;
    ASSERT_TRUE(plain.options) << plain.error;
    EXPECT_EQ(plain.options->loginEndpoint, "http://127.0.0.1:8/api/login");
    EXPECT_EQ(plain.options->collectionEndpoint, "HTTPS://127.0.0.1/c");

    const auto login = parseLoginOptions({"--user", "", "--password", "a b", "--login-endpoint", "http://h/l"}, "/home/ana");
    ASSERT_TRUE(login.options) << login.error;
    EXPECT_EQ(login.options->user, "");
    EXPECT_EQ(login.options->password, "a b");
    EXPECT_EQ(login.options->settings, "/home/ana/.config/Velorin/settings.json");
    EXPECT_EQ(login.options->loginEndpoint, "http://h/l");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--user", "ana"}, {"--user", "ana", "--password"}, {"--user", "a", "--password", "b", "--documents", "d"},
             {"--user", "a", "--password", "b", "--login-endpoint", "ftp://h/l"}}) {
        const auto r = parseLoginOptions(args, "/home/ana");
        EXPECT_FALSE(r.options) << args.back();
        EXPECT_FALSE(r.error.empty());
    }
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
    EXPECT_EQ(parseRecorderScript("soon start\n", "s").error, "s:1: \"soon\" is not a number of seconds from 0 to 100 years");
    EXPECT_EQ(parseRecorderScript("1\n", "s").error, "s:1: a command is missing after the seconds");
    EXPECT_EQ(parseRecorderScript("1 stop now\n", "s").error, "s:1: \"stop\" takes no arguments");
    EXPECT_EQ(parseRecorderScript("-1 stop\n", "s").error, "s:1: \"-1\" is not a number of seconds from 0 to 100 years");
}

// What the sensor, fault and event commands do with their arguments shows in the end-to-end runs
// that use them; here, their refusals.
TEST(RecorderScript, SensorFaultAndEventCommandsRefuseBadArguments)
{
    EXPECT_EQ(parseRecorderScript("1 choose one\n", "s").error,
              "s:1: choose takes a button index from 0 to 9999 and a PIN, not \"one\"");
    EXPECT_EQ(parseRecorderScript("1 choose 1 12 34\n", "s").error, "s:1: \"choose\" has too many arguments");
    EXPECT_EQ(parseRecorderScript("1 sim radio sideways\n", "s").error.substr(0, 29), "s:1: unknown sim fault \"radio");
    EXPECT_EQ(parseRecorderScript("1 sim rssi -200\n", "s").error,
              "s:1: sim rssi takes a signal strength from -127 to 20 dBm, not \"-200\"");
    EXPECT_EQ(parseRecorderScript("1 mark walking none\n", "s").error.substr(0, 33), "s:1: mark takes an activity (Layi");
    EXPECT_EQ(parseRecorderScript("1 sim drop now\n", "s").error, "s:1: \"sim drop\" takes no arguments");
}

TEST(RecorderScript, MonitorAndWindowCommandsAndWhereTheyMayRun)
{
    const auto ok = parseRecorderScript("1 amplitude up\n2 lock 0000\n3 resize 1 1\n4 tab settings\n5 screenshot a.png\n",
                                        "s");
    ASSERT_TRUE(ok.ok()) << ok.error;
    EXPECT_EQ(ok.commands[0].kind, ScriptCommand::Kind::amplitudeUp);
    EXPECT_EQ(ok.commands[1].text, "0000");
    EXPECT_EQ(ok.commands[2].height, 1);
    EXPECT_EQ(parseRecorderScript("1 amplitude\n", "s").error, "s:1: amplitude takes up or down, not \"\"");
    EXPECT_EQ(parseRecorderScript("1 unlock\n", "s").error, "s:1: \"unlock\" takes a passcode");
    EXPECT_EQ(parseRecorderScript("1 resize 0 600\n", "s").error,
              "s:1: resize takes a width and a height from 1 to 10000, not \"0\" \"600\"");
    EXPECT_EQ(parseRecorderScript("1 tab login\n", "s").error, "s:1: tab takes monitor, history or settings, not \"login\"");

    MemoryFiles files;
    files.files["run"] = "0 zoom\n1 minimize\n2 sim drop\n";
    EXPECT_EQ(readRecorderScript(files, "run", true, false).error, "run:2: window commands need velorin");
    EXPECT_EQ(readRecorderScript(files, "run", false, true).error, "run:3: sim commands need --sensor sim");
    EXPECT_EQ(readRecorderScript(files, "run", true, true).commands.size(), 3u);
    EXPECT_EQ(readRecorderScript(files, "gone", true, true).error.substr(0, 18), "cannot read gone: ");
}

TEST(RecorderScript, ControlBytesInWordsAndNamesAreShownEscaped)
{
    EXPECT_EQ(parseRecorderScript("0 st\0rt\n"s, "s").error, "s:1: unknown command \"st\\x00rt\"");
    EXPECT_EQ(parseRecorderScript("\x1B[2J start\n", "s").error,
              "s:1: \"\\x1B[2J\" is not a number of seconds from 0 to 100 years");
    EXPECT_EQ(parseRecorderScript("0 jump\n", "run\x07\n.txt").error, "run\\x07\\x0A.txt:1: unknown command \"jump\"");
    EXPECT_TRUE(parseRecorderScript("0\vstart\f\r\n", "s").ok());
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
