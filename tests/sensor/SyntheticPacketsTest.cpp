#include "sensor/sim/SyntheticPackets.h"

#include <gtest/gtest.h>

#include <vector>

namespace velorin {
namespace {

// Checked against the synthesizer and the bit layout, not against the packet maker itself, which the
// simulated central's test takes as its reference.
TEST(SyntheticPackets, CountedPacketsOfTheSynthesizedTraceWithTheCounterWrapping)
{
    SyntheticPackets packets(90, 87, 9);
    EcgSynthesizer reference(90, 9);
    for (int i = 0; i < 70000; ++i) {
        const auto packet = packets.nextPacket();
        PacketSamples expected{};
        reference.nextPacket(expected);
        ASSERT_EQ(packet.size(), 20u);
        ASSERT_EQ(packet[17] & 0xF0, 0) << i;
        ASSERT_EQ(packet[18] | packet[19] << 8, i % 65536) << i;
        ASSERT_EQ(unpackSamples(packet), expected) << i;
    }
}

// One percent per 20 minutes of packets sent (10714.3 of them), from a start clamped to 0..100, down to
// empty; a level set on the way drains from then on.
TEST(SyntheticPackets, BatteryDrainsOnePercentPerTwentyMinutesOfStreaming)
{
    SyntheticPackets sensor(72, 87, 1), low(72, 1, 1);
    EXPECT_EQ(SyntheticPackets(72, 150, 1).batteryLevel(), 100);
    std::vector<int> levels;
    std::uint64_t sent = 0;
    for (const std::uint64_t until : {0, 10714, 10715, 21428, 21429}) {
        for (; sent < until; ++sent) {
            sensor.nextPacket();
            low.nextPacket();
        }
        levels.insert(levels.end(), {sensor.batteryLevel(), low.batteryLevel()});
    }
    EXPECT_EQ(levels, (std::vector<int>{87, 1, 87, 1, 86, 0, 86, 0, 85, 0}));

    sensor.setBatteryLevel(15);
    for (int i = 0; i < 10715; ++i)
        sensor.nextPacket();
    EXPECT_EQ(sensor.batteryLevel(), 14);
    sensor.setBatteryLevel(-5);
    EXPECT_EQ(sensor.batteryLevel(), 0);
}

} // namespace
} // namespace velorin
