#include "platform/virtual/VirtualRuntime.h"

namespace velorin {

VirtualRuntime::VirtualRuntime(double startEpochSeconds) : m_start(startEpochSeconds), m_now(startEpochSeconds) {}

VirtualRuntime::~VirtualRuntime() = default;

void VirtualRuntime::schedule(double at, std::uint64_t timer, Task task)
{
    m_events.push(Event{at, m_sequence++, timer, std::move(task)});
}

void VirtualRuntime::runUntil(double until)
{
    m_stopRequested = false;
    while (!m_events.empty() && m_events.top().at <= until && !m_stopRequested) {
        // priority_queue::top is const; the event is moved out before pop, which is safe because
        // nothing reads it again before pop.
        Event event = std::move(const_cast<Event&>(m_events.top()));
        m_events.pop();
        if (event.at > m_now)
            m_now = event.at;
        if (event.timer != 0)
            fireTimer(event.timer);
        else
            event.task();
    }
    if (!m_stopRequested && until > m_now)
        m_now = until;
}

void VirtualRuntime::scheduleTimer(std::uint64_t id, const TimerState& state)
{
    // Fire times are computed from the first one, so a long run does not drift.
    const double at = state.first + state.interval * static_cast<double>(state.fired);
    schedule(at, id, Task{});
}

void VirtualRuntime::fireTimer(std::uint64_t id)
{
    auto found = m_timerStates.find(id);
    if (found == m_timerStates.end())
        return; // cancelled
    TimerState& state = found->second;
    ++state.fired;
    if (state.interval <= 0.0) {
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

Timers::Id VirtualRuntime::VirtualTimers::repeating(double intervalSeconds, Task action, bool fireNow)
{
    const Id id = m_runtime.m_nextTimer++;
    const double interval = intervalSeconds > 0.0 ? intervalSeconds : 1e-9;
    const double first = fireNow ? m_runtime.m_now : m_runtime.m_now + interval;
    auto [it, inserted] = m_runtime.m_timerStates.emplace(id, TimerState{first, interval, 0, std::move(action)});
    (void)inserted;
    m_runtime.scheduleTimer(id, it->second);
    return id;
}

Timers::Id VirtualRuntime::VirtualTimers::oneShot(double delaySeconds, Task action)
{
    const Id id = m_runtime.m_nextTimer++;
    auto [it, inserted] =
        m_runtime.m_timerStates.emplace(id, TimerState{m_runtime.m_now + delaySeconds, 0.0, 0, std::move(action)});
    (void)inserted;
    m_runtime.scheduleTimer(id, it->second);
    return id;
}

} // namespace velorin
