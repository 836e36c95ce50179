#include "signal/HeartRateDetector.h"

#include "signal/EkgMap.h"
#include "signal/PacketDecoder.h"
#include "signal/SampleRing.h"


namespace velorin {

namespace {

constexpr std::size_t scanStartLimit = 3975;
constexpr std::size_t skipAfterEdge = 26;
constexpr double samplePeriod = 0.008;
constexpr std::int32_t cycleLength = 5;
constexpr std::int32_t plausibleMin = 200;
constexpr std::int32_t plausibleMax = 1104;
// Edges restart at least 26 slots apart, so the list never holds more than this.
constexpr std::size_t maxPeaks = scanStartLimit / skipAfterEdge + 1;

} // namespace

HeartRateDetector::HeartRateDetector(const SampleRing& ring, const EkgMap& ekgMap, LabelSetter setBpmLabel,
                                     ReadingSink publishReading)
    : m_ring(ring), m_ekgMap(ekgMap), m_setLabel(std::move(setBpmLabel)), m_publishReading(std::move(publishReading))
{
}

std::int32_t HeartRateDetector::scanRate(const SampleRing& ring)
{
    std::array<std::int32_t, maxPeaks> peaks;
    std::size_t peakCount = 0;
    // Slots are walked in index order, not time order; the interval across the write position
    // counts like any other. Only steep pairs can start an edge, and the ring knows where they are.
    std::size_t i = ring.nextSteep(0, scanStartLimit);
    while (i < scanStartLimit) {
        const std::int32_t b = ring.load(i + 1);
        const std::int32_t c = ring.load(i + 2);
        if (b > c)
            peaks[peakCount++] = static_cast<std::int32_t>(i + 1);
        else if (b < c)
            peaks[peakCount++] = static_cast<std::int32_t>(i + 2);
        i = ring.nextSteep(i + skipAfterEdge, scanStartLimit);
    }
    if (peakCount == 0)
        return -1;
    if (peakCount == 1)
        return 0;
    std::int32_t sum = 0;
    for (std::size_t j = 0; j + 1 < peakCount; ++j) {
        const float rate = static_cast<float>(60.0 / ((peaks[j + 1] - peaks[j]) * samplePeriod));
        sum = static_cast<std::int32_t>(static_cast<float>(sum) + rate);
    }
    return sum / static_cast<std::int32_t>(peakCount - 1);
}

void HeartRateDetector::calculateBPM()
{
    if (m_ekgMap.empty())
        return; // no trace value was ever fed
    const std::int32_t rate = scanRate(m_ring);
    if (rate >= 0) // a scan without a peak does not count toward the cycle
        countScan(rate);
}

void HeartRateDetector::countScan(std::int32_t rate)
{
    m_bpmSum += rate;
    if (++m_bpmCycleCount < cycleLength)
        return;
    const std::int32_t sum = m_bpmSum;
    m_bpmSum = 0;
    m_bpmCycleCount = 0;
    if (sum >= plausibleMin && sum <= plausibleMax)
        publish(sum / cycleLength);
    else
        m_setLabel("N/A");
}

void HeartRateDetector::publish(std::int32_t reading)
{
    std::string text;
    appendDecimal(text, reading);
    m_setLabel(text);
    m_publishReading(reading);
}

} // namespace velorin
