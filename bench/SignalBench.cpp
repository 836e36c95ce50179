// Micro benchmarks of the per-packet and per-scan work of the signal path.

#include "monitor/TraceView.h"
#include "signal/HeartRateDetector.h"
#include "signal/PacketDecoder.h"
#include "signal/SampleRing.h"
#include "signal/TraceFeed.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace velorin {
namespace {

std::vector<std::uint8_t> ecgLikePacket(int n)
{
    std::vector<std::uint8_t> bytes(20, 0);
    PacketSamples samples;
    for (int k = 0; k < 14; ++k)
        samples[k] = (n * 14 + k) % 104 == 0 ? 860 : 512 + (k % 3);
    packSamples(samples, bytes);
    return bytes;
}

void decodePacket(benchmark::State& state)
{
    ApplicationState appState;
    TraceView view(appState);
    TraceFeed feed(view);
    SampleRing ring;
    std::string upload, text;
    PacketDecoder decoder(ring, feed, upload);
    const auto packet = ecgLikePacket(3);
    for (auto _ : state) {
        decoder.calculateBits(packet, text);
        benchmark::DoNotOptimize(text.data());
        if (upload.size() > 1 << 20)
            upload.clear();
    }
}
BENCHMARK(decodePacket);

void heartRateScan(benchmark::State& state)
{
    SampleRing ring;
    for (int n = 0; n < 286; ++n) {
        const auto packet = ecgLikePacket(n);
        ring.write(unpackSamples(packet));
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(HeartRateDetector::scanRate(ring));
}
BENCHMARK(heartRateScan);

} // namespace
} // namespace velorin
