// Drives the velorin-record binary as a user would and checks what it prints and the files it writes.

#include "../fakes/Packets.h"
#include "RecorderRun.h"
#include "signal/PacketLayout.h"
#include "signal/StreamFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace velorin {
namespace {

std::vector<std::uint8_t> packetOf(int n)
{
    return rampPacket(n, static_cast<std::uint8_t>(n), 0xEE);
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

} // namespace
} // namespace velorin
