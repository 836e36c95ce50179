#pragma once

#include "signal/PacketLayout.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace velorin {

// The latest 4000 samples (32 s at 125 per second) in arrival order, wrapping. The decoder writes on the
// Bluetooth queue while the heart-rate timer reads on the main queue, so every slot is a whole atomic
// word; a reader may see a mix of two neighbouring packets, which the detector tolerates.
//
// The ring also keeps an index of its steep pairs: neighbouring slots i and i+1 that both hold a sample
// (0..1024) and differ by more than 30, where a heart beat's edge can start. The writer updates it for
// the pairs it touches, so the heart-rate scan, run every half second over the whole ring, only looks
// at the few places where something happens.
class SampleRing {
public:
    static constexpr std::size_t size = 4000;
    static constexpr std::int32_t steepStep = 30;

    std::int32_t load(std::size_t slot) const { return m_slots[slot].load(std::memory_order_relaxed); }
    std::int64_t writeCount() const { return m_writeCount.load(std::memory_order_relaxed); }

    // Writer side: one packet, possibly wrapping around the end (4000 is not a multiple of 14).
    void write(const PacketSamples& samples);

    // The first steep pair (i, i+1) with from <= i < limit, or limit when there is none.
    std::size_t nextSteep(std::size_t from, std::size_t limit) const;

    static bool isSteep(std::int32_t a, std::int32_t b)
    {
        const auto inRange = [](std::int32_t v) { return static_cast<std::uint32_t>(v) <= 1024u; };
        // Both in 0..1024, so the difference is exact; |a - b| > 30 as one unsigned comparison.
        return inRange(a) && inRange(b) && static_cast<std::uint32_t>(a - b + steepStep) > 2u * steepStep;
    }

private:
    void indexPair(std::size_t first);

    static constexpr std::size_t wordBits = 64;
    std::array<std::atomic<std::int32_t>, size> m_slots{};
    std::array<std::atomic<std::uint64_t>, (size + wordBits - 1) / wordBits> m_steep{};
    std::atomic<std::int64_t> m_writeCount{0};
};

} // namespace velorin
