#include "monitor/TraceTap.h"

#include "monitor/TraceView.h"

#include <algorithm>
#include <memory>

namespace velorin {

TraceTap::TraceTap(TraceView& view, Timers& timers) : m_view(view), m_timers(timers) {}

TraceTap::~TraceTap()
{
    for (Timers::Id id : m_pending)
        m_timers.cancel(id);
}

TraceTap::Outcome TraceTap::touchesEnded()
{
    if (m_shouldWait != 0) {
        scheduleRestart(ignoredDebounceSeconds);
        return Outcome::ignored;
    }
    m_shouldWait = 1;
    scheduleRestart(acceptedDebounceSeconds);
    if (m_view.shouldStop() != 0) {
        m_view.startAnimation();
        return Outcome::resumed;
    }
    m_view.stopAnimation();
    return Outcome::paused;
}

void TraceTap::scheduleRestart(double seconds)
{
    // The id is known only after scheduling; a shared slot lets the timer drop its own entry.
    auto id = std::make_shared<Timers::Id>(0);
    *id = m_timers.oneShot(fromSeconds(seconds), [this, id] {
        std::erase(m_pending, *id);
        restartShouldWait();
    });
    m_pending.push_back(*id);
}

} // namespace velorin
