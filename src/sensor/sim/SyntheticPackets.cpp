#include "sensor/sim/SyntheticPackets.h"

#include <algorithm>

namespace velorin {

namespace {

// Whole milliseconds keep the drain exact over days of packets.
constexpr std::uint64_t packetMilliseconds = 112;
constexpr std::uint64_t millisecondsPerPercent = SyntheticPackets::minutesPerBatteryPercent * 60 * 1000;

} // namespace

SyntheticPackets::SyntheticPackets(int bpm, int startBattery, std::uint32_t seed)
    : m_synthesizer(bpm, seed), m_batteryBase(std::clamp(startBattery, 0, 100))
{
}

std::span<const std::uint8_t> SyntheticPackets::nextPacket()
{
    m_synthesizer.nextPacket(m_samples);
    packSamples(m_samples, m_packet);
    m_packet[18] = static_cast<std::uint8_t>(m_packetsSent & 0xFF);
    m_packet[19] = static_cast<std::uint8_t>(m_packetsSent >> 8 & 0xFF);
    ++m_packetsSent;
    return m_packet;
}

int SyntheticPackets::batteryLevel() const
{
    const std::uint64_t drained = (m_packetsSent - m_batteryBasePackets) * packetMilliseconds / millisecondsPerPercent;
    return static_cast<std::uint64_t>(m_batteryBase) > drained ? m_batteryBase - static_cast<int>(drained) : 0;
}

void SyntheticPackets::setBatteryLevel(int percent)
{
    m_batteryBase = std::clamp(percent, 0, 100);
    m_batteryBasePackets = m_packetsSent;
}

} // namespace velorin
