#include "sensor/sim/EcgSynthesizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace velorin {
namespace {

double beatSamples(int bpm)
{
    return 7500.0 / bpm;
} // 60 s / (bpm × 8 ms)

std::vector<std::int32_t> synthesize(int bpm, std::size_t count, std::uint32_t seed = 1)
{
    EcgSynthesizer synthesizer(bpm, seed);
    std::vector<std::int32_t> samples(count);
    std::generate(samples.begin(), samples.end(), [&] { return synthesizer.next(); });
    return samples;
}

// The monitor's R-peak scan: an edge starts at the first neighbour difference above 30, its peak is
// whichever of the next two samples is higher (none if equal), and the scan resumes 26 samples on.
std::vector<std::size_t> detectPeaks(const std::vector<std::int32_t>& s, std::size_t from = 0)
{
    std::vector<std::size_t> peaks;
    for (std::size_t i = from; i + 2 < s.size();) {
        if (s[i] < 0 || s[i] > 1024 || s[i + 1] < 0 || s[i + 1] > 1024 || std::abs(s[i] - s[i + 1]) <= 30) {
            ++i;
            continue;
        }
        if (s[i + 1] != s[i + 2])
            peaks.push_back(s[i + 1] > s[i + 2] ? i + 1 : i + 2);
        i += 26;
    }
    return peaks;
}

// Every gap must be one beat (±2% spread and a sample of rounding), so no beat gives two peaks or none.
// When the window opens mid-QRS the first peak may be found on the downstroke, a few samples late.
void expectOnePeakPerBeatAtTheRate(const std::vector<std::size_t>& peaks, int bpm, double firstGapSlack = 1)
{
    ASSERT_GE(peaks.size(), 10u);
    double rateSum = 0;
    for (std::size_t k = 1; k < peaks.size(); ++k) {
        const double gap = static_cast<double>(peaks[k] - peaks[k - 1]);
        EXPECT_NEAR(gap, beatSamples(bpm), beatSamples(bpm) * 0.02 + (k == 1 ? firstGapSlack : 1)) << "peak " << k;
        rateSum += 60 / (gap * 0.008);
    }
    EXPECT_NEAR(rateSum / static_cast<double>(peaks.size() - 1), bpm, 3);
}

TEST(SimulatedEcg, InRangeOnTheBaselineWithItsRateWhereverA4000SampleWindowStarts)
{
    for (int bpm : {EcgSynthesizer::minimumBpm, 45, 90, 150, 180, EcgSynthesizer::maximumBpm}) {
        for (std::uint32_t seed : {7u, 1234u}) {
            SCOPED_TRACE(testing::Message() << bpm << " bpm, seed " << seed);
            const auto samples = synthesize(bpm, 4000 + 260, seed);
            // Ten bits a sample in a packet: anything outside 0..1023 would be cut.
            const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
            EXPECT_TRUE(*low >= 0 && *high <= 1023);
            std::vector<std::int32_t> middle = samples; // and the trace rests on the baseline
            std::nth_element(middle.begin(), middle.begin() + 2130, middle.end());
            EXPECT_NEAR(middle[2130], EcgSynthesizer::baseline, 8);
            for (std::size_t offset = 0; offset < beatSamples(bpm) && !HasFailure(); ++offset)
                expectOnePeakPerBeatAtTheRate(detectPeaks({samples.begin() + static_cast<long>(offset),
                                                           samples.begin() + static_cast<long>(offset) + 4000}),
                                              bpm, 5);
        }
    }
}

} // namespace
} // namespace velorin
