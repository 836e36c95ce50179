#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace velorin {

// The few seats for large request bodies, taken without holding a thread: a connection that finds
// them all taken waits in line and is called back when one is given up.
class BodySeats {
public:
    explicit BodySeats(std::size_t seats) : m_free(seats) {}
    BodySeats(const BodySeats&) = delete;
    BodySeats& operator=(const BodySeats&) = delete;

    // Calls granted with a seat taken, at once or later on the thread that gives one back; granted
    // should only post the work that follows.
    void take(std::function<void()> granted);
    void give();
    // No one is called any more: those in line are let go, seats given back are kept.
    void close();

private:
    std::mutex m_mutex;
    std::size_t m_free;
    std::deque<std::function<void()>> m_waiting;
    bool m_closed = false;
};

} // namespace velorin
