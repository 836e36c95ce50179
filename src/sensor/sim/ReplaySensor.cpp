#include "sensor/sim/ReplaySensor.h"

#include <algorithm>

namespace velorin {

ReplaySensor::ReplaySensor(Queue& bluetoothQueue, Queue& mainQueue, Timers& timers, const Clock& clock, Opener open)
    : m_bluetoothQueue(bluetoothQueue), m_mainQueue(mainQueue), m_timers(timers), m_clock(clock),
      m_open(std::move(open))
{
}

ReplaySensor::~ReplaySensor()
{
    stop();
}

void ReplaySensor::start(SensorDelegate& delegate)
{
    stop();
    m_delegate.store(&delegate, std::memory_order_release);
    m_startTime = m_clock.monotonic();
    m_source = m_open ? m_open() : nullptr;
    readNext(m_run.load());
}

void ReplaySensor::stop()
{
    ++m_run;
    m_delegate.store(nullptr, std::memory_order_release);
    if (m_timer != 0) {
        m_timers.cancel(m_timer);
        m_timer = 0;
    }
    m_source.reset();
}

void ReplaySensor::readNext(std::uint64_t run)
{
    std::optional<ReplayUpdate> update = m_source ? m_source->next() : std::nullopt;
    if (!update) {
        // Posted, so the finish never arrives inside start() itself.
        m_mainQueue.async([this, run] { end(run); });
        return;
    }
    const Nanoseconds due = m_startTime + update->at;
    const Nanoseconds delay = std::max(Nanoseconds{0}, due - m_clock.monotonic());
    m_timer = m_timers.oneShot(delay, [this, run, update = std::move(*update)]() mutable {
        if (run != m_run.load())
            return;
        m_timer = 0;
        m_bluetoothQueue.async([this, run, update = std::move(update)] { deliver(update, run); });
    });
}

void ReplaySensor::deliver(const ReplayUpdate& update, std::uint64_t run)
{
    if (run != m_run.load())
        return;
    if (SensorDelegate* delegate = m_delegate.load(std::memory_order_acquire))
        delegate->peripheralDidUpdateValueForCharacteristic(update.characteristic, update.value, {});
    // The next update is read and its timer set only once this one is out, so updates never
    // overtake each other even when the Bluetooth queue lags behind.
    m_mainQueue.async([this, run] {
        if (run == m_run.load())
            readNext(run);
    });
}

void ReplaySensor::end(std::uint64_t run)
{
    if (run != m_run.load())
        return;
    std::optional<ReplayError> problem;
    if (!m_source)
        problem = ReplayError{{}, 0, "the replay cannot be opened", std::nullopt};
    else if (m_source->error())
        problem = m_source->error();
    m_source.reset();
    if (problem && m_problem)
        m_problem(*problem);
    // The problem callback may have stopped or restarted the replay.
    if (run == m_run.load())
        notifyFinished();
}

} // namespace velorin
