#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace velorin {

// An ECG packet carries 14 unsigned 10-bit samples in its first 140 bits, read as one little-endian
// bit stream: sample k lives in bits 10k..10k+9, the lower packet bit being the less significant.
inline constexpr std::size_t samplesPerPacket = 14;
inline constexpr std::size_t minimumPacketLength = 19;
inline constexpr std::size_t standardPacketLength = 20;

using PacketSamples = std::array<std::int32_t, samplesPerPacket>;

// Needs at least 18 bytes; bits 140 and up are ignored.
inline PacketSamples unpackSamples(std::span<const std::uint8_t> b)
{
    PacketSamples s;
    for (std::size_t group = 0; group < 4; ++group) {
        const std::uint8_t* p = b.data() + group * 5;
        const std::size_t k = group * 4;
        s[k] = p[0] | (p[1] & 0x03) << 8;
        s[k + 1] = p[1] >> 2 | (p[2] & 0x0F) << 6;
        if (group == 3)
            break; // the fourth group (bytes 15 to 17) carries only two samples
        s[k + 2] = p[2] >> 4 | (p[3] & 0x3F) << 4;
        s[k + 3] = p[3] >> 6 | p[4] << 2;
    }
    return s;
}

// The inverse: packs 14 samples (each taken modulo 1024) into bytes 0..17 of out, leaving the high
// half of byte 17 zero. out needs at least 18 bytes; bytes beyond 17 are left alone.
inline void packSamples(const PacketSamples& samples, std::span<std::uint8_t> out)
{
    auto v = [&](std::size_t k) { return static_cast<unsigned>(samples[k]) & 0x3FFu; };
    for (std::size_t group = 0; group < 4; ++group) {
        std::uint8_t* p = out.data() + group * 5;
        const std::size_t k = group * 4;
        const unsigned s0 = v(k), s1 = v(k + 1);
        const unsigned s2 = group == 3 ? 0 : v(k + 2), s3 = group == 3 ? 0 : v(k + 3);
        p[0] = static_cast<std::uint8_t>(s0);
        p[1] = static_cast<std::uint8_t>(s0 >> 8 | s1 << 2);
        p[2] = static_cast<std::uint8_t>(s1 >> 6 | s2 << 4);
        if (group == 3)
            break; // the fourth group (bytes 15 to 17) carries only two samples
        p[3] = static_cast<std::uint8_t>(s2 >> 4 | s3 << 6);
        p[4] = static_cast<std::uint8_t>(s3 >> 2);
    }
}

} // namespace velorin
