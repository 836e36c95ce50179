#include "monitor/TraceFrameSlot.h"

namespace velorin {

TraceFrameSlot::TraceFrameSlot(std::function<void()> onPublished) : m_onPublished(std::move(onPublished)) {}

void TraceFrameSlot::paint(const TraceFrame& frame)
{
    {
        std::lock_guard lock(m_mutex);
        m_frame = frame;
        ++m_sequence;
    }
    if (m_onPublished)
        m_onPublished();
}

std::optional<TraceFrameSlot::Published> TraceFrameSlot::latest() const
{
    std::lock_guard lock(m_mutex);
    if (m_sequence == 0)
        return std::nullopt;
    return Published{m_frame, m_sequence};
}

} // namespace velorin
