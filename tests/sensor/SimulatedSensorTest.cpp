#include "sensor/sim/SimulatedSensor.h"

#include "sensor/SensorTestSupport.h"

#include <gtest/gtest.h>

namespace velorin {
using namespace std::chrono_literals;
namespace {

int counterOf(const std::vector<std::uint8_t>& packet)
{
    return packet[18] | packet[19] << 8;
}

struct SimulatedSensorTest : testing::Test, test::SensorHarness {
    std::vector<int> batteryAnswers() const
    {
        std::vector<int> levels;
        for (const auto& update : updates)
            if (update.characteristic == "2A19" && update.queue == "bluetooth" && update.value.size() == 1)
                levels.push_back(update.value[0]);
        return levels;
    }
};

TEST_F(SimulatedSensorTest, StreamsCountedPacketsOfTheSynthesizedTraceEvery112Milliseconds)
{
    SimulatedSensor sensor(bluetooth, main, runtime.timers(), {.bpm = 90, .startBattery = 87, .seed = 9});
    sensor.start(delegate);
    runtime.runFor(11.1);

    ASSERT_EQ(updates.size(), 100u); // the first at once, then every 0.112 s
    EcgSynthesizer reference(90, 9);
    for (std::size_t i = 0; i < updates.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& packet = updates[i];
        EXPECT_EQ(packet.characteristic, "2A37");
        EXPECT_EQ(packet.queue, "bluetooth");
        EXPECT_NEAR(packet.at, 0.112 * static_cast<double>(i), 1e-9);
        ASSERT_EQ(packet.value.size(), 20u);
        EXPECT_EQ(packet.value[17] & 0xF0, 0);
        EXPECT_EQ(counterOf(packet.value), static_cast<int>(i));
        PacketSamples expected{};
        reference.nextPacket(expected);
        EXPECT_EQ(unpackSamples(packet.value), expected);
    }
}

TEST_F(SimulatedSensorTest, StopEndsTheStreamEvenForAPacketOnItsWayAndRestartContinuesTheCount)
{
    SimulatedSensor sensor(bluetooth, main, runtime.timers());
    sensor.start(delegate);
    // Due with the first packet but set after the sensor's timer: it stops the sensor between
    // posting that packet and sending it.
    runtime.timers().oneShot(0s, [&] { sensor.stop(); });
    runtime.runFor(5.0);
    EXPECT_TRUE(updates.empty());

    sensor.start(delegate);
    runtime.runFor(1.0);
    sensor.stop();
    runtime.runFor(5.0);
    ASSERT_EQ(updates.size(), 9u);
    EXPECT_NEAR(updates.front().at, 5.0, 1e-9);
    EXPECT_EQ(counterOf(updates.front().value), 1); // the dropped packet was counted
}

TEST_F(SimulatedSensorTest, BatteryDrainsOnePercentPerTwentyMinutesOfStreamingDownToEmpty)
{
    SimulatedSensor sensor(bluetooth, main, runtime.timers());
    SimulatedSensor low(bluetooth, main, runtime.timers(), {.bpm = 72, .startBattery = 1, .seed = 1});
    SimulatedSensor full(bluetooth, main, runtime.timers(), {.bpm = 72, .startBattery = 150, .seed = 1});
    sensor.readBatteryLevel(); // not streaming: nothing answers
    full.start(delegate);
    full.readBatteryLevel();
    sensor.start(delegate);
    low.start(delegate);
    for (double minutes : {0.0, 19.9, 20.1, 40.1, 60.1}) {
        runtime.runUntilElapsed(minutes * 60);
        sensor.readBatteryLevel();
        low.readBatteryLevel();
    }
    runtime.runPending();
    EXPECT_EQ(batteryAnswers(), (std::vector<int>{100, 87, 1, 87, 1, 86, 0, 85, 0, 84, 0}));
}

} // namespace
} // namespace velorin
