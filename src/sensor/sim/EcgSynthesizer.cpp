#include "sensor/sim/EcgSynthesizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velorin {

namespace {

constexpr double secondsPerSample = 0.008;
constexpr double samplesPerMinute = 60.0 / secondsPerSample;
// Beat lengths vary uniformly by up to this fraction either side of the nominal one.
constexpr double variability = 0.02;

// Relative to the baseline, one value per sample from the start of Q. The step from the Q trough to
// the first R sample is the only one in a beat above the detector's threshold of 30; the R peak and
// the whole fall through S and back stay within the 26 samples the detector skips after it.
constexpr std::array<std::int16_t, 11> qrs{-6, -15, 70, 220, 330, 150, -40, -60, -35, -15, -5};

constexpr double pAmplitude = 17;
constexpr double tAmplitude = 62;
// The T wave rises more slowly than it falls, as a real one does.
constexpr double tRiseFraction = 0.55;

// Breathing moves the baseline slowly: a 5 s cycle, a few units either way. A shared table keeps the
// per-sample cost to a lookup.
constexpr std::size_t wanderPeriod = 625;
constexpr double wanderAmplitude = 6;

const std::array<std::int8_t, wanderPeriod>& wanderTable()
{
    static const auto table = [] {
        std::array<std::int8_t, wanderPeriod> t{};
        for (std::size_t i = 0; i < wanderPeriod; ++i)
            t[i] = static_cast<std::int8_t>(
                std::lround(wanderAmplitude * std::sin(2 * std::numbers::pi * static_cast<double>(i) / wanderPeriod)));
        return t;
    }();
    return table;
}

double raisedCosine(double t, double start, double width, double amplitude)
{
    if (t <= start || t >= start + width)
        return 0;
    return amplitude * (1 - std::cos(2 * std::numbers::pi * (t - start) / width)) / 2;
}

double tWave(double t, double start, double width)
{
    const double rise = width * tRiseFraction;
    const double fall = width - rise;
    if (t <= start || t >= start + width)
        return 0;
    if (t < start + rise)
        return tAmplitude * (1 - std::cos(std::numbers::pi * (t - start) / rise)) / 2;
    return tAmplitude * (1 + std::cos(std::numbers::pi * (t - start - rise) / fall)) / 2;
}

} // namespace

EcgSynthesizer::EcgSynthesizer(int bpm, std::uint32_t seed)
    : m_random(seed), m_wander(wanderTable().data()), m_bpm(std::clamp(bpm, minimumBpm, maximumBpm))
{
    // xorshift must not start from zero.
    m_noiseState = static_cast<std::uint32_t>(m_random()) | 1u;
    buildTemplate();
}

void EcgSynthesizer::buildTemplate()
{
    m_nominalBeatSamples = samplesPerMinute / m_bpm;
    const double shortestBeat = m_nominalBeatSamples * (1 - variability);
    // P, PR and QT shorten roughly with the square root of the beat length (72 bpm being the
    // reference), but at fast rates the waves must also fit before the shortest next beat starts:
    // the template spans about 47k + 13 samples.
    const double rateScale = std::sqrt(m_nominalBeatSamples / (samplesPerMinute / 72));
    const double k = std::clamp(std::min(rateScale, (shortestBeat - 14) / 47), 0.1, 1.25);

    const double pStart = 3 * k;
    const double pWidth = 11 * k;
    const int qrsStart = static_cast<int>(std::lround(22 * k));
    const double tStart = qrsStart + static_cast<double>(qrs.size()) + 4 * k;
    const double tWidth = 21 * k;

    m_templateLength = std::min(static_cast<int>(std::ceil(tStart + tWidth)) + 1, maxTemplateLength);
    for (int i = 0; i < m_templateLength; ++i) {
        const double t = i;
        m_template[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
            std::lround(raisedCosine(t, pStart, pWidth, pAmplitude) + tWave(t, tStart, tWidth)));
    }
    for (std::size_t j = 0; j < qrs.size(); ++j)
        m_template[static_cast<std::size_t>(qrsStart) + j] = qrs[j];
}

void EcgSynthesizer::beginBeat()
{
    const double u = static_cast<double>(m_random()) / 4294967296.0;
    const double length = m_nominalBeatSamples * (1 + variability * (2 * u - 1)) + m_carry;
    m_beatLength = std::max(static_cast<int>(length), m_templateLength);
    m_carry = length - m_beatLength;
    m_position = 0;
}

int EcgSynthesizer::noise()
{
    // Drawn for every sample, too often for the Mersenne Twister to be cheap: a xorshift generator
    // seeded from it is plenty. The top byte, scaled to 0..4, becomes -2..+2.
    m_noiseState ^= m_noiseState << 13;
    m_noiseState ^= m_noiseState >> 17;
    m_noiseState ^= m_noiseState << 5;
    return static_cast<int>((m_noiseState >> 24) * 5 >> 8) - 2;
}

std::int32_t EcgSynthesizer::next()
{
    if (m_position == m_beatLength)
        beginBeat();
    int value = baseline + m_wander[m_wanderPhase] + noise();
    if (m_position < m_templateLength)
        value += m_template[static_cast<std::size_t>(m_position)];
    ++m_position;
    if (++m_wanderPhase == wanderPeriod)
        m_wanderPhase = 0;
    return std::clamp(value, 0, 1023);
}

void EcgSynthesizer::nextPacket(PacketSamples& samples)
{
    for (auto& sample : samples)
        sample = next();
}

} // namespace velorin
