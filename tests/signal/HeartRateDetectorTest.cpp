#include "../fakes/FakeLog.h"
#include "../fakes/MemoryFiles.h"
#include "signal/EkgMap.h"
#include "platform/Clock.h"
#include "platform/LocalTime.h"
#include "recording/HeartRateFile.h"
#include "recording/RecordingFiles.h"
#include "signal/HeartRateDetector.h"
#include "signal/SampleRing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <vector>

namespace velorin {
namespace {

class FixedClock : public Clock {
public:
    double now() const override { return at; }
    Nanoseconds monotonic() const override { return fromSeconds(at); }
    double at = 1495872947.25; // 2017-05-27 08:15:47.25 UTC
};

struct HeartRig {
    SampleRing ring;
    EkgMap ekgMap;
    MemoryFiles files;
    FakeLog log;
    std::vector<std::string> notices;
    RecordingFiles recordingFiles{files, log, [this](const std::string& n) { notices.push_back(n); }};
    FixedClock clock;
    std::vector<std::string> labels;
    HeartRateFile bpmFile{recordingFiles, clock, "/docs"};
    HeartRateDetector detector{ring, ekgMap, [this](const std::string& text) { labels.push_back(text); },
                               [this](std::int32_t reading) { bpmFile.append(reading); }};

    HeartRig() { ekgMap.write(0, 0.0f); }

    void fill(const std::function<std::int32_t(int)>& slotValue)
    {
        std::vector<std::int32_t> all(SampleRing::size);
        for (int i = 0; i < static_cast<int>(all.size()); ++i)
            all[i] = slotValue(i);
        for (std::size_t at = 0; at < all.size(); at += samplesPerPacket) {
            PacketSamples p{};
            for (std::size_t k = 0; k < samplesPerPacket; ++k)
                p[k] = all[(at + k) % all.size()];
            ring.write(p);
        }
        // The last packet wraps and rewrites slots 0..3 with the same values.
    }
};

// One-slot spikes of 500 over a floor of 100, `spacing` slots apart, starting at `first`.
std::function<std::int32_t(int)> spikes(int first, int spacing)
{
    return [=](int i) { return i >= first && (i - first) % spacing == 0 ? 500 : 100; };
}

// Spikes every 100 slots read 75.
TEST(HeartRate, ScansWithoutPeaksOrTraceDoNotCountAndASinglePeakReadsNotAvailable)
{
    HeartRig rig;
    EkgMap unfed; // before the trace was fed, even a clear rhythm is not read
    HeartRateDetector early{rig.ring, unfed, [&](const std::string& text) { rig.labels.push_back(text); },
                            [&](std::int32_t reading) { rig.bpmFile.append(reading); }};
    rig.fill(spikes(50, 100));
    for (int run = 0; run < 10; ++run)
        early.calculateBPM();
    rig.fill([](int) { return 0; });
    for (int run = 0; run < 20; ++run)
        rig.detector.calculateBPM(); // all zeros: no edge at all
    // A rise that stays high (b == c) is an edge without a peak.
    rig.fill([](int i) { return i % 200 < 100 ? 100 : 500; });
    EXPECT_EQ(HeartRateDetector::scanRate(rig.ring), -1);
    for (int run = 0; run < 20; ++run)
        rig.detector.calculateBPM();
    EXPECT_TRUE(rig.labels.empty());

    // A single peak has no interval: its scans count, read "N/A" and store nothing.
    rig.fill([](int i) { return i == 1000 ? 600 : 100; });
    EXPECT_EQ(HeartRateDetector::scanRate(rig.ring), 0);
    for (int run = 0; run < 5; ++run)
        rig.detector.calculateBPM();
    EXPECT_EQ(rig.labels, std::vector<std::string>{"N/A"});
    EXPECT_TRUE(rig.files.files.empty());
}

// The scan as plainly stated, slot by slot, to check the ring's index of steep pairs against.
std::int32_t plainScanRate(const SampleRing& ring)
{
    std::vector<std::int32_t> peaks;
    std::size_t i = 0;
    while (i < 3975) {
        const std::int32_t a = ring.load(i), b = ring.load(i + 1);
        if (a < 0 || a > 1024 || static_cast<std::uint32_t>(b) > 1024u ||
            std::fabs(static_cast<float>(a - b)) <= 30.0f) {
            ++i;
            continue;
        }
        const std::int32_t c = ring.load(i + 2);
        if (b != c)
            peaks.push_back(static_cast<std::int32_t>(b > c ? i + 1 : i + 2));
        i += 26;
    }
    if (peaks.empty())
        return -1;
    std::int32_t sum = 0;
    for (std::size_t j = 0; j + 1 < peaks.size(); ++j)
        sum = static_cast<std::int32_t>(static_cast<float>(sum) +
                                        static_cast<float>(60.0 / ((peaks[j + 1] - peaks[j]) * 0.008)));
    return peaks.size() == 1 ? 0 : sum / static_cast<std::int32_t>(peaks.size() - 1);
}

TEST(HeartRate, IndexedScanMatchesThePlainScanWhileTheRingIsOverwritten)
{
    std::mt19937 random(11);
    SampleRing ring;
    // Noise, steps of every size around the threshold, and values outside 0..1024.
    std::uniform_int_distribution<int> kind(0, 9), small(-4, 4), jump(25, 40), wild(-50, 1100);
    std::int32_t level = 500;
    for (int packet = 0; packet < 3000; ++packet) {
        PacketSamples samples;
        for (auto& s : samples) {
            const int k = kind(random);
            level = k < 6 ? level + small(random) : k < 9 ? level + (random() % 2 ? 1 : -1) * jump(random) : wild(random);
            if (level < -60 || level > 1100)
                level = 500;
            s = level;
        }
        ring.write(samples);
        if (packet % 5 == 0) {
            ASSERT_EQ(HeartRateDetector::scanRate(ring), plainScanRate(ring)) << "after packet " << packet;
        }
    }
}

// A mean from 40 to 220 is shown and kept; anything outside reads "N/A" and is not written.
TEST(HeartRate, PlausibleSumsAreInclusive)
{
    const struct {
        std::vector<std::int32_t> rates;
        std::string label;
    } cases[] = {
        {{40, 40, 40, 40, 40}, "40"},      {{40, 40, 40, 40, 39}, "N/A"}, {{220, 221, 221, 221, 221}, "220"},
        {{221, 221, 221, 221, 221}, "N/A"}, {{0, 0, 0, 0, 0}, "N/A"},
    };
    for (const auto& c : cases) {
        HeartRig rig;
        for (std::int32_t rate : c.rates)
            rig.detector.countScan(rate);
        EXPECT_EQ(rig.labels, std::vector<std::string>{c.label});
        EXPECT_EQ(rig.files.files.size(), c.label == "N/A" ? 0u : 1u);
    }
}

// Readings go to one file named by the time of the first, seconds not floored.
TEST(HeartRate, ReadingsGoToOneFileNamedByTheFirst)
{
    HeartRig rig;
    for (int run = 0; run < 10; ++run) {
        rig.detector.countScan(75);
        rig.clock.at += 30;
    }
    EXPECT_EQ(rig.files.files, (std::map<std::string, std::string>{
                                   {"/docs/" + formatFileStamp(1495872947.25 + 120) + ".bpm", "75 75 "}}));
}

TEST(HeartRate, FailedFileWriteIsReportedOnce)
{
    HeartRig rig;
    rig.files.failAll = true;
    rig.fill(spikes(50, 100));
    for (int run = 0; run < 10; ++run)
        rig.detector.calculateBPM();
    EXPECT_EQ(rig.labels, (std::vector<std::string>{"75", "75"}));
    EXPECT_EQ(rig.notices, std::vector<std::string>{"Recording could not be saved."});
}

} // namespace
} // namespace velorin
