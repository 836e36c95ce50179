#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <optional>

namespace velorin {

// The renderer's value array, shared by the trace feed (writer, Bluetooth queue) and the renderer
// (reader, on the feed's thread and during layout on the main thread): 180 fixed atomic slots and an
// atomic element count. It grows by one element per write until it holds 180, then wraps.
class EkgMap {
public:
    static constexpr std::size_t capacity = 180;

    std::size_t count() const { return m_count.load(std::memory_order_acquire); }
    bool empty() const { return count() == 0; }

    // Element at index, or nullopt beyond the end.
    std::optional<float> at(std::size_t index) const
    {
        if (index >= count())
            return std::nullopt;
        return m_values[index].load(std::memory_order_relaxed);
    }

    // Writes index (0..179). Writing just past the end appends; the count is published after the value.
    void write(std::size_t index, float value)
    {
        m_values[index].store(value, std::memory_order_relaxed);
        m_latest.store(index, std::memory_order_relaxed);
        if (index >= m_count.load(std::memory_order_relaxed))
            m_count.store(index + 1, std::memory_order_release);
    }

    // The index written last; meaningful once anything was written.
    std::size_t latest() const { return m_latest.load(std::memory_order_relaxed); }

private:
    std::atomic<std::size_t> m_latest{0};
    std::array<std::atomic<float>, capacity> m_values{};
    std::atomic<std::size_t> m_count{0};
};

} // namespace velorin
