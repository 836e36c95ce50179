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

void VirtualRuntime::schedule(std::int64_t at, std::uint64_t timer)
{
    m_events.push(Event{at, m_sequence++, timer});
}

void VirtualRuntime::post(Task task)
{
    if (std::this_thread::get_id() == m_owner) {
        m_posted.push_back(Posted{nowNs(), m_sequence++, std::move(task)});
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
        m_posted.push_back(Posted{nowNs(), m_sequence++, std::move(task)});
}

void VirtualRuntime::runUntilNs(std::int64_t until)
{
    m_stopRequested = false;
    takeForeignPosts();
    while (!m_stopRequested) {
        // The earlier of the next posted task and the next event, in schedule order at one instant.
        const bool eventDue = !m_events.empty() && m_events.top().at <= until;
        const bool postDue = !m_posted.empty() && m_posted.front().at <= until;
        if (!eventDue && !postDue)
            break;
        const bool eventFirst =
            eventDue &&
            (!postDue || m_events.top().at < m_posted.front().at ||
             (m_events.top().at == m_posted.front().at && m_events.top().sequence < m_posted.front().sequence));
        if (eventFirst) {
            const Event event = m_events.top();
            m_events.pop();
            if (event.at > nowNs())
                m_nowNs.store(event.at);
            fireTimer(event.timer);
        } else {
            Task task = std::move(m_posted.front().task);
            if (m_posted.front().at > nowNs())
                m_nowNs.store(m_posted.front().at);
            m_posted.pop_front();
            task();
        }
        takeForeignPosts();
    }
    if (!m_stopRequested && until > nowNs())
        m_nowNs.store(until);
}

void VirtualRuntime::scheduleTimer(std::uint64_t id, const TimerState& state)
{
    // Fire times are computed from the first one, so a long run does not drift.
    const std::int64_t at = state.first + state.interval * static_cast<std::int64_t>(state.fired);
    schedule(at, id);
}

void VirtualRuntime::fireTimer(std::uint64_t id)
{
    auto found = m_timerStates.find(id);
    if (found == m_timerStates.end())
        return; // cancelled
    TimerState& state = found->second;
    ++state.fired;
    if (state.interval <= 0) {
        const std::shared_ptr<const Task> action = std::move(state.action);
        m_timerStates.erase(found);
        (*action)();
        return;
    }
    scheduleTimer(id, state);
    // The action may cancel its own timer, which destroys the state.
    const std::shared_ptr<const Task> action = state.action;
    (*action)();
}

Timers::Id VirtualRuntime::VirtualTimers::repeating(Nanoseconds intervalSpan, Task action, bool fireNow)
{
    const Id id = m_runtime.m_nextTimer++;
    const std::int64_t interval = std::max<std::int64_t>(clampedNs(intervalSpan), 1);
    const std::int64_t first = fireNow ? m_runtime.nowNs() : m_runtime.nowNs() + interval;
    auto [it, inserted] = m_runtime.m_timerStates.emplace(
        id, TimerState{first, interval, 0, std::make_shared<const Task>(std::move(action))});
    (void)inserted;
    m_runtime.scheduleTimer(id, it->second);
    return id;
}

Timers::Id VirtualRuntime::VirtualTimers::oneShot(Nanoseconds delay, Task action)
{
    const Id id = m_runtime.m_nextTimer++;
    auto [it, inserted] = m_runtime.m_timerStates.emplace(
        id, TimerState{m_runtime.nowNs() + clampedNs(delay), 0, 0, std::make_shared<const Task>(std::move(action))});
    (void)inserted;
    m_runtime.scheduleTimer(id, it->second);
    return id;
}

} // namespace velorin
