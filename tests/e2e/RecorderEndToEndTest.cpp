// Drives the velorin-record binary as a user would and checks what it prints and the files it writes.

#include "../fakes/Packets.h"
#include "RecorderRun.h"
#include "signal/PacketLayout.h"
#include "signal/StreamFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace velorin {
namespace {

std::vector<std::uint8_t> packetOf(int n)
{
    return rampPacket(n, static_cast<std::uint8_t>(n), 0xEE);
}

TEST_F(RecorderRun, RefusesUntilTheTermsAreAccepted)
{
    const RunResult refused = run({"--clock", "virtual", "--duration", "1"});
    EXPECT_EQ(refused.status, 3);
    EXPECT_NE(refused.err.find("--accept-terms"), std::string::npos);
    EXPECT_EQ(lines(refused.err).size(), 1u);
    EXPECT_TRUE(listDocs().empty());

    EXPECT_EQ(sim({"--duration", "1"}).status, 0);
    EXPECT_EQ(run({"--clock", "virtual", "--duration", "1"}).status, 0); // remembered
}

TEST_F(RecorderRun, PacketLogReplayWritesExactFiles)
{
    // A first packet, then 268 that fill a chunk after the automatic Start, then a short one and a battery value.
    std::string log = "# one chunk\n";
    std::string stream, chunk;
    for (int n = 0; n < 269; ++n) {
        log += "2A37: " + hex(packetOf(n)) + "\n";
        // The first packet arrives before Start: its text stays in the chunk, Start drops its record.
        for (int k = 0; k < 14; ++k)
            chunk += std::to_string((n + k) % 1024) + " ";
        if (n > 0)
            appendPacketRecord(stream, packetOf(n));
    }
    log += "@40 2A19: 07\n@41 2A37: 0102\n";
    const std::string logPath = write("day.log", log);

    const RunResult r = sim({"--start", "2017-05-27T10:15:00", "--sensor", "replay:" + logPath});
    ASSERT_EQ(r.status, 0) << r.err;
    // 268 counted packets: the last arrives at 269 x 0.112 = 30.128 s. The short packet at 41 s is
    // flushed when the replay has run out, in the same 30-second slot: a lone space, its note and record.
    EXPECT_EQ(listDocs(), (std::set<std::string>{"2017-05-27_101530.ecg", "2017-05-27_101530.s2"}));
    const std::string header = streamHeader("", "2017-05-27_101530");
    EXPECT_EQ(doc("2017-05-27_101530.ecg"), chunk + " ");
    EXPECT_EQ(doc("2017-05-27_101530.s2"), stream + header + streamErrorText("2017-05-27_101530") +
                                               std::string(streamFormat::recordLead) + "\x01\x02");
    // Whether the upload's failure (nothing listens) is told before the virtual run ends depends on
    // the machine's speed: those lines are left out.
    std::vector<std::string> shown = lines(r.out);
    std::erase_if(shown, [](const std::string& line) { return line.find(" upload ") != std::string::npos; });
    EXPECT_EQ(shown, (std::vector<std::string>{
                                "0.112 sensor Ok",
                                "0.336 notice Connected to sensor",
                                "31.500 trace No signal", // nothing between 30.128 s and 40 s
                                "31.500 bpm N/A",
                                "40.000 battery 7%",
                                "40.000 alert Sensor battery low | Please charge your Nimbo!",
                            }));
}

TEST_F(RecorderRun, ReplayEndsWithItsLastUpdateOnEitherClockUnlessADurationIsGiven)
{
    // 100 packets (11.2 s) with a sharp spike every 100 samples: a steady 75 on the label.
    std::string log;
    for (int n = 0; n < 100; ++n)
        log += hex(spikePacket(n)) + "\n";
    const std::string logPath = write("spikes.log", log);
    auto bpmLines = [&](std::vector<std::string> args) {
        args.insert(args.end(), {"--sensor", "replay:" + logPath});
        const RunResult r = sim(args);
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> out = lines(r.out);
        std::erase_if(out, [](const std::string& line) { return line.find(" bpm ") == std::string::npos; });
        return out;
    };
    const std::vector<std::string> untilTheEnd = bpmLines({});
    ASSERT_FALSE(untilTheEnd.empty());
    EXPECT_NE(untilTheEnd.back().find(" bpm 75"), std::string::npos) << untilTheEnd.back();
    EXPECT_LE(std::stod(untilTheEnd.back()), 11.2);
    // Once the packets stop, the label says so rather than go on reading the past, until the duration is up.
    const std::vector<std::string> longer = bpmLines({"--duration", "20"});
    EXPECT_EQ(longer.back(), "12.500 bpm N/A");
    EXPECT_NE(longer[longer.size() - 2].find(" bpm 75"), std::string::npos);

    const std::string shortLog = write("short.log", "2A37: " + hex(packetOf(1)) + "\n2A37: " + hex(packetOf(2)) +
                                                        "\n2A37: " + hex(packetOf(3)) + "\n2A19: 64\n");
    const RunResult real = run({"--accept-terms", "--sensor", "replay:" + shortLog});
    ASSERT_EQ(real.status, 0) << real.err;
    const auto out = lines(real.out);
    ASSERT_EQ(out.size(), 3u) << real.out;
    EXPECT_NE(out[0].find(" sensor Ok"), std::string::npos);
    EXPECT_NE(out[1].find(" notice Connected to sensor"), std::string::npos);
    EXPECT_NE(out[2].find(" battery 100%"), std::string::npos);
}

// A bad line in a replay log or a script is named by its file and line, before anything is written.
TEST_F(RecorderRun, BadInputLinesAreNamedAndNothingIsWritten)
{
    const std::string badLog = write("bad.log", "2A37: 00 11\n@1.0 2A37: 0G\n");
    const RunResult replay = sim({"--sensor", "replay:" + badLog});
    EXPECT_EQ(replay.status, 2);
    EXPECT_NE(replay.err.find(badLog + ":2"), std::string::npos) << replay.err;
    EXPECT_TRUE(listDocs().empty());
    EXPECT_FALSE(files.exists(settings));

    const RunResult script = sim({"--script", write("bad.script", "0 start\n# fine\n5 dance\n")});
    EXPECT_EQ(script.status, 2);
    EXPECT_NE(script.err.find("bad.script:3"), std::string::npos) << script.err;

    const RunResult odd = sim({"--script", write("odd.script", std::string("1 st\0rt\x1b[2J\n", 13))});
    EXPECT_EQ(odd.status, 2);
    EXPECT_NE(odd.err.find("st\\x00rt\\x1B[2J"), std::string::npos) << odd.err; // shown escaped
    EXPECT_EQ(odd.err.find('\x1b'), std::string::npos);
}

TEST_F(RecorderRun, ScriptDrivesBackgroundRecordingAndQuit)
{
    // Background from the start: chunks are written without Start; quit ends the run. The simulated
    // sensor, chosen at 0.5 s, sends its first packet at 0.9 s, so the 268th arrives at 30.804 s. The
    // packet that came after the second chunk (60.932 s) is appended to that chunk's file at quit.
    const std::string script = write("run.script", "0 background\n0.5 choose 1\n61 quit\n");
    const RunResult r = sim({"--start", "2017-05-27T10:15:00", "--script", script, "--duration", "600"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The heart-rate file is named by its first reading, at 3.5 s.
    EXPECT_EQ(listDocs(), (std::set<std::string>{"2017-05-27_101530.ecg", "2017-05-27_101530.s2",
                                                 "2017-05-27_101600.ecg", "2017-05-27_101503.bpm"}));
    const std::string last = doc("2017-05-27_101600.ecg");
    EXPECT_EQ(std::count(last.begin(), last.end(), ' '), 269 * 14);
}

// The synthesized signal's rate, read back by the monitor's own beat scan, the whole way to the console.
TEST_F(RecorderRun, SimulatedHeartRateIsReadWithinThreeBeats)
{
    const RunResult r = sim({"--duration", "120", "--sim-bpm", "120"});
    ASSERT_EQ(r.status, 0) << r.err;
    int readings = 0;
    for (const std::string& line : lines(r.out)) {
        double at = 0;
        char kind[16] = {};
        int value = 0;
        if (std::sscanf(line.c_str(), "%lf %15s %d", &at, kind, &value) == 3 && std::string(kind) == "bpm" &&
            at > 40.0) {
            ++readings;
            EXPECT_NEAR(value, 120, 3) << line;
        }
    }
    EXPECT_GT(readings, 25) << r.out;
}

} // namespace
} // namespace velorin
