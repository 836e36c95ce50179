#pragma once

#include "signal/PacketLayout.h"

#include <cstdint>
#include <vector>

namespace velorin {

// A 20-byte ECG packet whose 14 samples are first, first + 1, ... (modulo 1024), with the two bytes
// after the samples as given.
inline std::vector<std::uint8_t> rampPacket(int first, std::uint8_t byte18 = 0, std::uint8_t byte19 = 0)
{
    std::vector<std::uint8_t> bytes(20, 0);
    PacketSamples samples;
    for (int k = 0; k < 14; ++k)
        samples[k] = (first + k) % 1024;
    packSamples(samples, bytes);
    bytes[18] = byte18;
    bytes[19] = byte19;
    return bytes;
}

// Packet n of a signal at 100 with a one-sample spike to 500 every 100 samples: a steady 75 per minute.
inline std::vector<std::uint8_t> spikePacket(int n)
{
    std::vector<std::uint8_t> bytes(20, 0);
    PacketSamples samples;
    for (int k = 0; k < 14; ++k)
        samples[k] = (n * 14 + k) % 100 == 0 ? 500 : 100;
    packSamples(samples, bytes);
    return bytes;
}

} // namespace velorin
