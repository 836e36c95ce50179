#pragma once

#include "signal/PacketLayout.h"

#include <array>
#include <cstdint>
#include <random>

namespace velorin {

// A synthetic lead at the sensor's 125 samples per second: 10-bit samples around a baseline of 512,
// with P, QRS and T waves, a little beat-to-beat variability, noise and baseline wander.
//
// The waveform is shaped for the monitor's heart-rate detector, which starts an "edge" at the first
// neighbour difference above 30 and then ignores the next 26 samples: each beat has exactly one such
// difference at the start of the R upstroke, every big step of the QRS falls inside those 26 samples,
// and everything else (P, T, noise, wander) stays well under 30 per sample.
//
// The same bpm and seed always give the same samples.
class EcgSynthesizer {
public:
    static constexpr int minimumBpm = 30;
    // Above this the T wave would have to be squeezed so much that its fall becomes an edge.
    static constexpr int maximumBpm = 200;
    static constexpr int baseline = 512;

    // bpm is clamped to minimumBpm..maximumBpm.
    explicit EcgSynthesizer(int bpm = 72, std::uint32_t seed = 1);

    int bpm() const { return m_bpm; }

    std::int32_t next();
    void nextPacket(PacketSamples& samples);

private:
    // Long enough for the slowest beat's waves; the rest of a beat is flat.
    static constexpr int maxTemplateLength = 128;

    void buildTemplate();
    void beginBeat();
    int noise();

    std::mt19937 m_random;
    const std::int8_t* m_wander; // a shared table of one breathing cycle
    int m_bpm;
    double m_nominalBeatSamples = 0;
    double m_carry = 0; // keeps the mean beat length exact although each beat is whole samples
    std::array<std::int16_t, maxTemplateLength> m_template{};
    int m_templateLength = 0;
    int m_beatLength = 0;
    int m_position = 0;
    std::size_t m_wanderPhase = 0;
    std::uint32_t m_noiseState = 1;
};

} // namespace velorin
