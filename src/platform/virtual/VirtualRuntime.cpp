#include "platform/virtual/VirtualRuntime.h"

#include <algorithm>
#include <cmath>

namespace velorin {

VirtualRuntime::VirtualRuntime(double startEpochSeconds) : m_start(startEpochSeconds) {}

VirtualRuntime::~VirtualRuntime() = default;

std::int64_t VirtualRuntime::clampedNs(Nanoseconds span)
{
    return std::clamp<std::int64_t>(span.count(), 0, longestSpan.count());
}

void VirtualRuntime::schedule(std::int64_t at, std::uint64_t timer, Task task)
{
    m_events.push(Event{at, m_sequence++, timer, std::move(task)});
}

void VirtualRuntime::post(Task task)
{
    if (std::this_thread::get_id() == m_owner) {
        schedule(nowNs(), 0, std::move(task));
        return;
    }
    std::lock_guard lock(m_foreignMutex);
    m_foreign.push_back(std::move(task));
    m_hasForeign.store(true);
}

void VirtualRuntime::takeForeignPosts()
{
    if (!m_hasForeign.load())
        return;
    std::vector<Task> taken;
    {
        std::lock_guard lock(m_foreignMutex);
        taken.swap(m_foreign);
        m_hasForeign.store(false);
    }
    for (Task& task : taken)
        schedule(nowNs(), 0, std::move(task));
}

void VirtualRuntime::runUntilNs(std::int64_t until)
{
    m_stopRequested = false;
    takeForeignPosts();
    while (!m_events.empty() && m_events.top().at <= until && !m_stopRequested) {
        // priority_queue::top is const; the event is moved out before pop, which is safe because
        // nothing reads it again before pop.
        Event event = std::move(const_cast<Event&>(m_events.top()));
        m_events.pop();
        if (event.at > nowNs())
            m_nowNs.store(event.at);
        if (event.timer != 0)
            fireTimer(event.timer);
        else
            event.task();
        takeForeignPosts();
    }
    if (!m_stopRequested && until > nowNs())
        m_nowNs.store(until);
}

void VirtualRuntime::scheduleTimer(std::uint64_t id, const TimerState& state)
{
    // Fire times are computed from the first one, so a long run does not drift.
    const std::int64_t at = state.first + state.interval * static_cast<std::int64_t>(state.fired);
    schedule(at, id, Task{});
}

void VirtualRuntime::fireTimer(std::uint64_t id)
{
    auto found = m_timerStates.find(id);
    if (found == m_timerStates.end())
        return; // cancelled
    TimerState& state = found->second;
    ++state.fired;
    if (state.interval <= 0) {
        Task action = std::move(state.action);
        m_timerStates.erase(found);
        action();
        return;
    }
    scheduleTimer(id, state);
    // The action may cancel its own timer, which destroys the state; run a copy.
    Task action = state.action;
    action();
}

Timers::Id VirtualRuntime::VirtualTimers::repeating(Nanoseconds intervalSpan, Task action, bool fireNow)
{
    const Id id = m_runtime.m_nextTimer++;
    const std::int64_t interval = std::max<std::int64_t>(clampedNs(intervalSpan), 1);
    const std::int64_t first = fireNow ? m_runtime.nowNs() : m_runtime.nowNs() + interval;
    auto [it, inserted] = m_runtime.m_timerStates.emplace(id, TimerState{first, interval, 0, std::move(action)});
    (void)inserted;
    m_runtime.scheduleTimer(id, it->second);
    return id;
}

Timers::Id VirtualRuntime::VirtualTimers::oneShot(Nanoseconds delay, Task action)
{
    const Id id = m_runtime.m_nextTimer++;
    auto [it, inserted] = m_runtime.m_timerStates.emplace(
        id, TimerState{m_runtime.nowNs() + clampedNs(delay), 0, 0, std::move(action)});
    (void)inserted;
    m_runtime.scheduleTimer(id, it->second);
    return id;
}

} // namespace velorin
