#include "RecorderRun.h"
#include "signal/StreamFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace velorin {
namespace {

// The link as a user meets it: choose with a pin, a drop mended by itself, the disconnect button
// ending it; and the choice remembered by the next run.
TEST_F(RecorderRun, TheSimulatedSensorIsChosenReconnectedAndRemembered)
{
    const std::string script = write("link.script", "0.5 choose 1 1234\n"
                                                    "26 sim drop\n"
                                                    "40 disconnect\n"
                                                    "60 quit\n");
    const RunResult r = sim({"--sim-sensors", "2", "--script", script});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, " sensor-list "), 2u) << r.out;
    // The pin is written at the choice and again when the dropped link comes back, not after the button.
    EXPECT_EQ(count(r.err, "sim write 2A39 07 04 31 32 33 34"), 2u) << r.err;
    EXPECT_EQ(count(r.out, "notice Sensor disconnected."), 2u) << r.out;
    EXPECT_EQ(count(r.out, "sensor Ok"), 2u) << r.out;

    // The choice outlives the run: the sensor is taken up again without a list, with its pin.
    const RunResult again = run({"--clock", "virtual", "--duration", "5", "--sim-sensors", "2"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(count(again.out, "sensor-list"), 0u);
    EXPECT_NE(again.out.find("sensor Ok"), std::string::npos) << again.out;
    EXPECT_EQ(count(again.err, "sim write 2A39 07 04 31 32 33 34"), 1u) << again.err;
}

std::size_t samplesIn(const std::string& chunkText)
{
    return static_cast<std::size_t>(std::count(chunkText.begin(), chunkText.end(), ' '));
}

// Whatever ends the link (range, a drop, the radio) and however early, every packet that arrived is
// on disk and the recording goes on by itself, in one stream; a symptom marked meanwhile is kept.
TEST_F(RecorderRun, LinkDropsLoseNothingAndTheRecordingGoesOnInOneStream)
{
    const std::string script = write("drops.script", "0.5 choose 1 1234\n"
                                                     "1 start\n"
                                                     "10 sim away 30\n" // before the first chunk
                                                     "45 mark Walking none\n"
                                                     "47 sim drop\n"
                                                     "80 sim radio off\n"
                                                     "85 sim radio on\n"
                                                     "100 quit\n");
    const RunResult r = sim({"-v", "--start", "2026-12-06T08:00:00", "--script", script});
    ASSERT_EQ(r.status, 0) << r.err;
    std::size_t samples = 0;
    std::vector<std::string> streams, events;
    for (const std::string& name : listDocs()) {
        if (name.ends_with(".ecg"))
            samples += samplesIn(doc(name));
        if (name.ends_with(".s2"))
            streams.push_back(doc(name));
        if (name.ends_with(".event"))
            events.push_back(name);
    }
    EXPECT_EQ(samples, 14 * count(r.err, "Value <")) << r.err;
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(count(streams.front(), std::string(streamFormat::headerClose)), 1u);
    EXPECT_EQ(events, std::vector<std::string>{"2026-12-06_080100 Walking  .event"}); // "none" is left empty
    // A chunk's worth after the mark, however the drops cut the flushes, and the 9 s before the outage.
    EXPECT_GE(samplesIn(doc(events.front())), 3752u + 9 * 125);
    EXPECT_EQ(count(r.out, "notice Sensor disconnected."), 3u) << r.out;
    EXPECT_EQ(count(r.out, "notice Sensor reconnected."), 3u) << r.out;
    EXPECT_EQ(count(r.out, "trace No signal"), 2u) << r.out; // out of range and radio off, not the short drop
    EXPECT_EQ(count(r.out, "trace live"), 2u) << r.out;
}

// Four sensors can be told apart in the list; once another is chosen during a recording, the first
// one's packets stop at once (even while the new one is not found yet), and the new one's go to a
// stream of their own.
TEST_F(RecorderRun, AnotherSensorChosenWhileRecordingGetsAStreamOfItsOwn)
{
    const std::string script = write("two.script", "0.5 choose 2 1234\n"
                                                   "1 start\n"
                                                   "15 sim away 60\n" // the first sensor, chosen next
                                                   "20 choose 1 1234\n"
                                                   "100 quit\n");
    const RunResult r = sim({"--sim-sensors", "4", "--start", "2026-12-06T08:00:00", "--script", script});
    ASSERT_EQ(r.status, 0) << r.err;
    std::set<std::string> labels;
    for (const std::string& line : lines(r.out))
        if (line.starts_with("0.500 sensor-list "))
            labels.insert(line.substr(0, line.find("  ")));
    EXPECT_EQ(labels.size(), 4u) << r.out;
    // Nothing between the choice at 20 s and the first sensor's return at 75 s.
    std::set<std::string> recordings = listDocs();
    std::erase_if(recordings, [](const std::string& name) { return name.ends_with(".bpm"); });
    EXPECT_EQ(recordings, (std::set<std::string>{"2026-12-06_080000.ecg", "2026-12-06_080000.s2",
                                                 "2026-12-06_080130.ecg", "2026-12-06_080130.s2"}));
    EXPECT_NE(doc("2026-12-06_080000.s2").find("UUID=7A3F1C21-5B8D-4E61-9C0A-000000000002\n"), std::string::npos);
    EXPECT_NE(doc("2026-12-06_080130.s2").find("UUID=7A3F1C20-5B8D-4E61-9C0A-000000000001\n"), std::string::npos);
    EXPECT_EQ(count(doc("2026-12-06_080130.s2"), "UUID="), 1u);
    EXPECT_EQ(count(r.out, "notice Sensor reconnected."), 0u) << r.out;
    EXPECT_EQ(count(r.out, "notice Sensor disconnected."), 0u) << r.out; // the one let go drops quietly
}

} // namespace
} // namespace velorin
