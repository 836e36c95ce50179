#pragma once

#include "signal/PacketLayout.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace velorin {

// The latest 4000 samples (32 s at 125 per second) in arrival order, wrapping. The decoder writes on the
// Bluetooth queue while the heart-rate timer reads on the main queue, so every slot is a whole atomic
// word; a reader may see a mix of two neighbouring packets, which the detector tolerates.
class SampleRing {
public:
    static constexpr std::size_t size = 4000;

    std::int32_t load(std::size_t slot) const { return m_slots[slot].load(std::memory_order_relaxed); }
    std::int64_t writeCount() const { return m_writeCount.load(std::memory_order_relaxed); }

    // Writer side: one packet, possibly wrapping around the end (4000 is not a multiple of 14).
    void write(const PacketSamples& samples)
    {
        std::int64_t count = m_writeCount.load(std::memory_order_relaxed);
        std::size_t slot = static_cast<std::size_t>(count % static_cast<std::int64_t>(size));
        for (std::int32_t sample : samples) {
            m_slots[slot].store(sample, std::memory_order_relaxed);
            if (++slot == size)
                slot = 0;
        }
        m_writeCount.store(count + static_cast<std::int64_t>(samples.size()), std::memory_order_release);
    }

private:
    std::array<std::atomic<std::int32_t>, size> m_slots{};
    std::atomic<std::int64_t> m_writeCount{0};
};

} // namespace velorin
