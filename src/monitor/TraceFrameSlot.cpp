#include "monitor/TraceFrameSlot.h"

#include <algorithm>

namespace velorin {

TraceFrameSlot::TraceFrameSlot(std::function<void()> onPublished) : m_onPublished(std::move(onPublished)) {}

void TraceFrameSlot::paint(const TraceFrame& frame)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_count == capacity) {
            m_first = (m_first + 1) % capacity;
            --m_count;
        }
        m_frames[(m_first + m_count) % capacity] = Published{frame, ++m_sequence};
        ++m_count;
    }
    if (m_onPublished)
        m_onPublished();
}

std::size_t TraceFrameSlot::waiting() const
{
    std::lock_guard lock(m_mutex);
    return m_count;
}

std::optional<TraceFrameSlot::Published> TraceFrameSlot::take(std::size_t count)
{
    std::lock_guard lock(m_mutex);
    const std::size_t taken = std::min(count, m_count);
    if (taken == 0)
        return std::nullopt;
    const Published last = m_frames[(m_first + taken - 1) % capacity];
    m_first = (m_first + taken) % capacity;
    m_count -= taken;
    return last;
}

} // namespace velorin
