#pragma once

#include "sensor/sim/EcgSynthesizer.h"
#include "signal/PacketLayout.h"

#include <array>
#include <cstdint>
#include <span>

namespace velorin {

// What a simulated sensor sends: ECG packets of 14 synthetic samples and a 16-bit packet counter,
// and a battery charge that drops by one percent per 20 minutes of streaming. Streaming time is
// counted in packets, so the charge follows the virtual or real time the sensor has actually been
// sending.
//
// Not thread-safe: the owner keeps it on one queue.
class SyntheticPackets {
public:
    static constexpr int minutesPerBatteryPercent = 20;

    // startBattery is clamped to 0..100.
    SyntheticPackets(int bpm, int startBattery, std::uint32_t seed);

    // The next packet; valid until the next call.
    std::span<const std::uint8_t> nextPacket();
    std::uint64_t packetsSent() const { return m_packetsSent; }

    // The charge now, in percent.
    int batteryLevel() const;
    // From now on the charge drops from this level (clamped to 0..100).
    void setBatteryLevel(int percent);

private:
    EcgSynthesizer m_synthesizer;
    std::uint64_t m_packetsSent = 0;
    PacketSamples m_samples{};
    std::array<std::uint8_t, standardPacketLength> m_packet{};
    int m_batteryBase;
    std::uint64_t m_batteryBasePackets = 0;
};

} // namespace velorin
