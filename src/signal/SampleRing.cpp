#include "signal/SampleRing.h"

#include <bit>

namespace velorin {

void SampleRing::write(const PacketSamples& samples)
{
    const std::int64_t count = m_writeCount.load(std::memory_order_relaxed);
    const std::size_t first = static_cast<std::size_t>(count % static_cast<std::int64_t>(size));
    std::size_t slot = first;
    for (std::int32_t sample : samples) {
        m_slots[slot].store(sample, std::memory_order_relaxed);
        if (++slot == size)
            slot = 0;
    }
    // The pairs that changed: the one ending at the first new slot up to the one starting at the last.
    for (std::size_t k = 0; k <= samples.size(); ++k)
        indexPair((first + size - 1 + k) % size);
    m_writeCount.store(count + static_cast<std::int64_t>(samples.size()), std::memory_order_release);
}

void SampleRing::indexPair(std::size_t first)
{
    if (first + 1 >= size)
        return; // the last slot and slot 0 are never read as one pair
    const bool steep = isSteep(load(first), load(first + 1));
    std::atomic<std::uint64_t>& word = m_steep[first / wordBits];
    const std::uint64_t bit = std::uint64_t{1} << (first % wordBits);
    // One writer: a plain read-modify-write of the word is enough.
    const std::uint64_t before = word.load(std::memory_order_relaxed);
    const std::uint64_t after = steep ? before | bit : before & ~bit;
    if (after != before)
        word.store(after, std::memory_order_relaxed);
}

std::size_t SampleRing::nextSteep(std::size_t from, std::size_t limit) const
{
    std::size_t index = from / wordBits;
    if (from >= limit)
        return limit;
    std::uint64_t bits = m_steep[index].load(std::memory_order_relaxed) & (~std::uint64_t{0} << (from % wordBits));
    for (;;) {
        if (bits != 0) {
            const std::size_t found = index * wordBits + static_cast<std::size_t>(std::countr_zero(bits));
            return found < limit ? found : limit;
        }
        if (++index * wordBits >= limit)
            return limit;
        bits = m_steep[index].load(std::memory_order_relaxed);
    }
}

} // namespace velorin
