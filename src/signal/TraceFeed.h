#pragma once

#include "signal/EkgMap.h"
#include "signal/PacketLayout.h"

#include <array>
#include <cstdint>

namespace velorin {

// What the feed writes into: the live trace's value array, and a drawing request per value while
// the trace runs (the monitor's trace view).
class TraceTarget {
public:
    virtual EkgMap& ekgMap() = 0;
    // 0 = running, 1 = stopped.
    virtual std::int32_t shouldStop() const = 0;
    virtual void drawView() = 0;

protected:
    ~TraceTarget() = default;
};

// Halves the sample rate for the live trace: on every second decoded packet it writes 13 averages of
// neighbouring samples into the renderer's value array, each followed by one drawing request while
// the renderer runs. Runs on the Bluetooth queue inside decoding.
class TraceFeed {
public:
    explicit TraceFeed(TraceTarget& view) : m_view(view) {}

    void feed(const PacketSamples& samples);
    // The next packet begins a new pair: half a pair from before a silence is never averaged with
    // what comes after it.
    void restartPairs() { m_packetParity = 0; }

    std::int64_t traceWriteCount() const { return m_traceWriteCount; }

private:
    TraceTarget& m_view;
    std::int32_t m_packetParity = 1;
    std::array<std::int32_t, 28> m_pairBuffer{};
    std::int64_t m_traceWriteCount = 0;
};

} // namespace velorin
