#pragma once

#include "platform/Clock.h"
#include "platform/Queue.h"
#include "platform/Timers.h"
#include "sensor/SensorSource.h"
#include "sensor/sim/ReplayUpdate.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace velorin {

// Plays recorded value updates back, each `at` after start(), then reports that it has finished.
// Updates are read from the source as they are due, one at a time, and only one timer is pending at
// a time, so a day-long replay costs no more memory or timers than a short one. The owner keeps the
// sensor alive until both queues have drained after stop().
class ReplaySensor : public SensorSource {
public:
    // Gives a source that reads from the first update; called at every start().
    using Opener = std::function<std::unique_ptr<ReplaySource>()>;

    // The clock measures the time since start(), so late timers do not push later updates back.
    ReplaySensor(Queue& bluetoothQueue, Queue& mainQueue, Timers& timers, const Clock& clock, Opener open);
    ~ReplaySensor() override;
    ReplaySensor(const ReplaySensor&) = delete;
    ReplaySensor& operator=(const ReplaySensor&) = delete;

    // Plays from the first update, also after an earlier start().
    void start(SensorDelegate& delegate) override;
    void stop() override;
    // A replay only plays what was recorded; a read is never answered.
    void readBatteryLevel() override {}

    // Called on the main queue when the source cannot be opened or read to its end (the file changed
    // or went away after it was checked). The replay ends there: the finish follows this call.
    void onProblem(std::function<void(const ReplayError&)> problem) { m_problem = std::move(problem); }

private:
    void readNext(std::uint64_t run);
    void deliver(const ReplayUpdate& update, std::uint64_t run);
    void end(std::uint64_t run);

    Queue& m_bluetoothQueue;
    Queue& m_mainQueue;
    Timers& m_timers;
    const Clock& m_clock;
    const Opener m_open;
    std::function<void(const ReplayError&)> m_problem;

    // Main queue only. The update in hand is read before its timer is set and handed to the
    // Bluetooth queue when the timer fires; the next one is read only once it has been delivered.
    std::unique_ptr<ReplaySource> m_source;
    Timers::Id m_timer = 0;
    Nanoseconds m_startTime{0};

    // Tasks carry the run they belong to; one from before the latest start() or stop() does nothing.
    std::atomic<std::uint64_t> m_run{0};
    std::atomic<SensorDelegate*> m_delegate{nullptr};
};

} // namespace velorin
