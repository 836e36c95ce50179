#include "BodySeats.h"

namespace velorin {

// Callbacks run and are destroyed outside the lock: letting one go may end a connection, which gives
// its seat back here.

void BodySeats::take(std::function<void()> granted)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
        if (m_free == 0) {
            m_waiting.push_back(std::move(granted));
            return;
        }
        --m_free;
    }
    granted();
}

void BodySeats::give()
{
    std::function<void()> next;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed || m_waiting.empty()) {
            ++m_free;
            return;
        }
        next = std::move(m_waiting.front());
        m_waiting.pop_front();
    }
    next();
}

void BodySeats::close()
{
    std::deque<std::function<void()>> waiting;
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        waiting.swap(m_waiting);
    }
}

} // namespace velorin
