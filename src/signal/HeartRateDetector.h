#pragma once

#include "platform/Seconds.h"
#include "recording/RecordingFiles.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace velorin {

class Clock;
class EkgMap;
class SampleRing;

// Every 0.5 s the whole sample ring is scanned for steep edges; the spacing of their peaks gives a
// scan rate, and every fifth counted scan publishes the mean of five rates on the label and in the
// heart-rate file. Runs on the main queue.
class HeartRateDetector {
public:
    using LabelSetter = std::function<void(const std::string&)>;

    static constexpr Nanoseconds period = std::chrono::milliseconds(500);

    HeartRateDetector(const SampleRing& ring, const EkgMap& ekgMap, RecordingFiles& files, const Clock& clock,
                      std::string documentsDirectory, LabelSetter setBpmLabel);

    void calculateBPM();

    // One scan's rate: 0 with a single peak, -1 when it finds none (the scan then does not count).
    static std::int32_t scanRate(const SampleRing& ring);
    // Counts one scan's rate toward the cycle; the fifth publishes the mean, or "N/A" when implausible.
    void countScan(std::int32_t rate);

    void resetPath() { m_bpmFile.reset(); }
    std::string bpmPath() const { return m_bpmFile ? m_bpmFile->path() : std::string(); }

private:
    void publish(std::int32_t reading);

    const SampleRing& m_ring;
    const EkgMap& m_ekgMap;
    RecordingFiles& m_files;
    const Clock& m_clock;
    std::string m_documents;
    LabelSetter m_setLabel;
    std::int32_t m_bpmSum = 0;
    std::int32_t m_bpmCycleCount = 0;
    std::optional<RecordingFiles::Appender> m_bpmFile; // chosen at the first plausible reading
};

} // namespace velorin
