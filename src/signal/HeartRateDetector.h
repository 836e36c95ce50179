#pragma once

#include "platform/Seconds.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace velorin {

class EkgMap;
class SampleRing;

// Every 0.5 s the whole sample ring is scanned for steep edges; the spacing of their peaks gives a
// scan rate, and every fifth counted scan publishes the mean of five rates on the label and to the
// reading's recipient (the heart-rate file). Runs on the main queue.
class HeartRateDetector {
public:
    using LabelSetter = std::function<void(const std::string&)>;
    using ReadingSink = std::function<void(std::int32_t)>;

    static constexpr Nanoseconds period = std::chrono::milliseconds(500);

    HeartRateDetector(const SampleRing& ring, const EkgMap& ekgMap, LabelSetter setBpmLabel,
                      ReadingSink publishReading);

    void calculateBPM();

    // One scan's rate: 0 with a single peak, -1 when it finds none (the scan then does not count).
    static std::int32_t scanRate(const SampleRing& ring);
    // Counts one scan's rate toward the cycle; the fifth publishes the mean, or "N/A" when implausible.
    void countScan(std::int32_t rate);

private:
    void publish(std::int32_t reading);

    const SampleRing& m_ring;
    const EkgMap& m_ekgMap;
    LabelSetter m_setLabel;
    ReadingSink m_publishReading;
    std::int32_t m_bpmSum = 0;
    std::int32_t m_bpmCycleCount = 0;
};

} // namespace velorin
