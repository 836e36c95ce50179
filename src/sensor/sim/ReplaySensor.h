#pragma once

#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/Queue.h"
#include "platform/Timers.h"
#include "sensor/SensorSource.h"
#include "sensor/sim/ReplayUpdate.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace velorin {

// Plays recorded value updates back, each `at` seconds after start(), then reports that it has
// finished. Only one timer is pending at a time, so a day-long replay costs no more timers than a
// short one. The owner keeps the sensor alive until both queues have drained after stop().
class ReplaySensor : public SensorSource {
public:
    // The clock measures the time since start(), so late timers do not push later updates back.
    ReplaySensor(Queue& bluetoothQueue, Queue& mainQueue, Timers& timers, const Clock& clock,
                 std::vector<ReplayUpdate> updates);
    ~ReplaySensor() override;
    ReplaySensor(const ReplaySensor&) = delete;
    ReplaySensor& operator=(const ReplaySensor&) = delete;

    // Plays from the first update, also after an earlier start().
    void start(SensorDelegate& delegate) override;
    void stop() override;
    // A replay only plays what was recorded; a read is never answered.
    void readBatteryLevel() override {}

    const std::vector<ReplayUpdate>& updates() const { return m_updates; }

private:
    void scheduleNext();
    void deliver(std::size_t index, std::uint64_t run);
    void delivered(std::size_t index, std::uint64_t run);

    Queue& m_bluetoothQueue;
    Queue& m_mainQueue;
    Timers& m_timers;
    const Clock& m_clock;
    const std::vector<ReplayUpdate> m_updates;

    // Main queue only.
    Timers::Id m_timer = 0;
    Nanoseconds m_startTime{0};
    std::size_t m_next = 0;

    // Tasks carry the run they belong to; one from before the latest start() or stop() does nothing.
    std::atomic<std::uint64_t> m_run{0};
    std::atomic<SensorDelegate*> m_delegate{nullptr};
};

// Reads a replay file: a recording stream file when the name ends in ".s2", otherwise a packet log.
ReplayResult loadReplay(Files& files, const std::string& path);

} // namespace velorin
