#pragma once

#include "platform/Clock.h"
#include "platform/Queue.h"
#include "platform/Timers.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <unordered_map>
#include <vector>

namespace velorin {

// Runs the main queue, the Bluetooth queue and every timer on the calling thread in virtual time.
// Work due at the same instant runs in the order it was scheduled, so every run is deterministic.
// Work posted from another thread (an HTTP completion) is taken in at the next step of the run, at
// the virtual instant reached then; the clock may be read from any thread.
class VirtualRuntime {
public:
    explicit VirtualRuntime(double startEpochSeconds = 0.0);
    ~VirtualRuntime();
    VirtualRuntime(const VirtualRuntime&) = delete;
    VirtualRuntime& operator=(const VirtualRuntime&) = delete;

    Queue& mainQueue() { return m_main; }
    Queue& bluetoothQueue() { return m_bluetooth; }
    Timers& timers() { return m_timers; }
    const Clock& clock() const { return m_clock; }

    double now() const { return m_start + elapsed(); }
    double elapsed() const { return static_cast<double>(nowNs()) * 1e-9; }

    // Runs everything due up to and including `seconds` after the start, then sets the clock to it.
    void runUntilElapsed(Nanoseconds span) { runUntilNs(span.count()); }
    void runFor(Nanoseconds span) { runUntilNs(nowNs() + span.count()); }
    // For tests: seconds rounded to nanoseconds.
    void runUntilElapsed(double seconds) { runUntilElapsed(fromSeconds(seconds)); }
    void runFor(double seconds) { runFor(fromSeconds(seconds)); }
    Nanoseconds elapsedNs() const { return Nanoseconds{nowNs()}; }
    // Runs only what is due now (posted work, also from other threads, and timers at the current instant).
    void runPending() { runUntilNs(nowNs()); }
    // Stops a runUntil in progress after the task that calls it.
    void stop() { m_stopRequested = true; }
    std::size_t pendingCount() const { return m_events.size() + m_posted.size(); }

private:
    // Time is kept in whole nanoseconds since the start, so timers of different periods that meet
    // (0.112 s and 0.5 s at 14 s) meet exactly, and their order is the order they were scheduled in.
    // A timer's next firing.
    struct Event {
        std::int64_t at;
        std::uint64_t sequence;
        std::uint64_t timer;
    };
    struct Later {
        bool operator()(const Event& a, const Event& b) const
        {
            return a.at != b.at ? a.at > b.at : a.sequence > b.sequence;
        }
    };
    struct TimerState {
        std::int64_t first;
        std::int64_t interval; // 0 for one-shot timers
        std::uint64_t fired = 0;
        // Shared, so that a firing holds it without copying the task: it may cancel its own timer.
        std::shared_ptr<const Task> action;
    };
    // Work posted on the owning thread, due at once: a queue in order rather than the heap.
    struct Posted {
        std::int64_t at;
        std::uint64_t sequence;
        Task task;
    };

    class PostQueue : public Queue {
    public:
        explicit PostQueue(VirtualRuntime& runtime) : m_runtime(runtime) {}
        void async(Task task) override { m_runtime.post(std::move(task)); }

    private:
        VirtualRuntime& m_runtime;
    };
    class VirtualTimers : public Timers {
    public:
        explicit VirtualTimers(VirtualRuntime& runtime) : m_runtime(runtime) {}
        Id repeating(Nanoseconds interval, Task action, bool fireNow) override;
        Id oneShot(Nanoseconds delay, Task action) override;
        void cancel(Id id) override { m_runtime.m_timerStates.erase(id); }

    private:
        VirtualRuntime& m_runtime;
    };
    class VirtualClock : public Clock {
    public:
        explicit VirtualClock(const VirtualRuntime& runtime) : m_runtime(runtime) {}
        double now() const override { return m_runtime.now(); }
        Nanoseconds monotonic() const override { return m_runtime.elapsedNs(); }

    private:
        const VirtualRuntime& m_runtime;
    };

    static std::int64_t clampedNs(Nanoseconds span);
    std::int64_t nowNs() const { return m_nowNs.load(std::memory_order_relaxed); }
    void post(Task task);
    void takeForeignPosts();
    void runUntilNs(std::int64_t until);
    void schedule(std::int64_t at, std::uint64_t timer);
    void fireTimer(std::uint64_t id);
    void scheduleTimer(std::uint64_t id, const TimerState& state);

    double m_start;
    std::atomic<std::int64_t> m_nowNs{0};
    const std::thread::id m_owner = std::this_thread::get_id();
    std::mutex m_foreignMutex;
    std::vector<Task> m_foreign; // posted from other threads, not yet scheduled
    std::atomic<bool> m_hasForeign{false};
    std::uint64_t m_sequence = 0;
    std::uint64_t m_nextTimer = 1;
    bool m_stopRequested = false;
    std::priority_queue<Event, std::vector<Event>, Later> m_events;
    std::deque<Posted> m_posted; // in (at, sequence) order, since time only moves on
    std::unordered_map<std::uint64_t, TimerState> m_timerStates;
    PostQueue m_main{*this};
    PostQueue m_bluetooth{*this};
    VirtualTimers m_timers{*this};
    VirtualClock m_clock{*this};
};

} // namespace velorin
