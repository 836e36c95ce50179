#pragma once

#include "platform/Timers.h"

#include <cstdint>
#include <vector>

namespace velorin {

class TraceView;

// A tap on the trace pauses or resumes it. Taps are debounced: after an accepted tap the next is
// ignored for 0.5 s, and an ignored tap schedules one more clearing 1.0 s later. Runs on the main
// queue, where the timers fire too.
class TraceTap {
public:
    enum class Outcome { ignored, paused, resumed };

    TraceTap(TraceView& view, Timers& timers);
    ~TraceTap();
    TraceTap(const TraceTap&) = delete;
    TraceTap& operator=(const TraceTap&) = delete;

    // paused: the view shows the "Paused" label; resumed: it removes every label it shows.
    Outcome touchesEnded();
    void restartShouldWait() { m_shouldWait = 0; }
    std::int32_t shouldWait() const { return m_shouldWait; }

    static constexpr double acceptedDebounceSeconds = 0.5;
    static constexpr double ignoredDebounceSeconds = 1.0;

private:
    void scheduleRestart(double seconds);

    TraceView& m_view;
    Timers& m_timers;
    std::int32_t m_shouldWait = 0;
    // A timer may outlive the view that set it; the ones still pending are cancelled with it.
    std::vector<Timers::Id> m_pending;
};

} // namespace velorin
