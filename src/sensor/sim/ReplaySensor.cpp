#include "sensor/sim/ReplaySensor.h"

#include "sensor/sim/PacketLog.h"
#include "sensor/sim/StreamFileReader.h"

#include <algorithm>

namespace velorin {

ReplaySensor::ReplaySensor(Queue& bluetoothQueue, Queue& mainQueue, Timers& timers, const Clock& clock,
                           std::vector<ReplayUpdate> updates)
    : m_bluetoothQueue(bluetoothQueue), m_mainQueue(mainQueue), m_timers(timers), m_clock(clock),
      m_updates(std::move(updates))
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
    const std::uint64_t run = m_run.load();
    m_startTime = m_clock.monotonic();
    m_next = 0;
    if (m_updates.empty()) {
        // Posted, so the finish never arrives inside start() itself.
        m_mainQueue.async([this, run] {
            if (run == m_run.load())
                notifyFinished();
        });
        return;
    }
    scheduleNext();
}

void ReplaySensor::stop()
{
    ++m_run;
    m_delegate.store(nullptr, std::memory_order_release);
    if (m_timer != 0) {
        m_timers.cancel(m_timer);
        m_timer = 0;
    }
}

void ReplaySensor::scheduleNext()
{
    const Nanoseconds due = m_startTime + m_updates[m_next].at;
    const Nanoseconds delay = std::max(Nanoseconds{0}, due - m_clock.monotonic());
    const std::uint64_t run = m_run.load();
    m_timer = m_timers.oneShot(delay, [this, run] {
        m_timer = 0;
        if (run != m_run.load())
            return;
        const std::size_t index = m_next;
        m_bluetoothQueue.async([this, index, run] { deliver(index, run); });
    });
}

void ReplaySensor::deliver(std::size_t index, std::uint64_t run)
{
    if (run != m_run.load())
        return;
    if (SensorDelegate* delegate = m_delegate.load(std::memory_order_acquire)) {
        const ReplayUpdate& update = m_updates[index];
        delegate->peripheralDidUpdateValueForCharacteristic(update.characteristic, update.value, {});
    }
    // The next timer is set only once this update is out, so updates never overtake each other
    // even when the Bluetooth queue lags behind.
    m_mainQueue.async([this, index, run] { delivered(index, run); });
}

void ReplaySensor::delivered(std::size_t index, std::uint64_t run)
{
    if (run != m_run.load())
        return;
    m_next = index + 1;
    if (m_next == m_updates.size()) {
        notifyFinished();
        return;
    }
    scheduleNext();
}

namespace {

bool isStreamFileName(const std::string& path)
{
    if (path.size() < 3)
        return false;
    const std::string_view ending(path.data() + path.size() - 3, 3);
    return ending == ".s2" || ending == ".S2";
}

} // namespace

ReplayResult loadReplay(Files& files, const std::string& path)
{
    std::string bytes;
    const FileResult read = files.readAll(path, bytes, std::size_t{1} << 30);
    if (!read.ok)
        return ReplayError{path, 0, "cannot read " + path + ": " + read.error, std::nullopt};
    return isStreamFileName(path) ? parseStreamFile(bytes, path) : parsePacketLog(bytes, path);
}

} // namespace velorin
