#include "sensor/sim/SimulatedSensor.h"

#include "sensor/SensorProfile.h"

#include <algorithm>

namespace velorin {

namespace {

// Whole milliseconds keep the drain exact over days of packets.
constexpr std::uint64_t packetMilliseconds = 112;
constexpr std::uint64_t millisecondsPerPercent = SimulatedSensor::minutesPerBatteryPercent * 60 * 1000;

} // namespace

SimulatedSensor::SimulatedSensor(Queue& bluetoothQueue, Queue& /*mainQueue*/, Timers& timers,
                                 SimulatedSensorOptions options)
    : m_bluetoothQueue(bluetoothQueue), m_timers(timers), m_synthesizer(options.bpm, options.seed),
      m_startBattery(std::clamp(options.startBattery, 0, 100))
{
}

SimulatedSensor::~SimulatedSensor()
{
    stop();
}

void SimulatedSensor::start(SensorDelegate& delegate)
{
    stop();
    m_delegate.store(&delegate, std::memory_order_release);
    // The sensor is already streaming when it is subscribed: the first packet comes at once.
    // Capturing only `this` keeps the task inside std::function's small buffer: nothing is
    // allocated per packet.
    m_timer = m_timers.repeating(
        packetInterval, [this] { m_bluetoothQueue.async([this] { sendPacket(); }); }, true);
}

void SimulatedSensor::stop()
{
    // Packets and answers already posted to the Bluetooth queue are dropped rather than delivered.
    m_delegate.store(nullptr, std::memory_order_release);
    if (m_timer != 0) {
        m_timers.cancel(m_timer);
        m_timer = 0;
    }
}

void SimulatedSensor::readBatteryLevel()
{
    // A sensor that is not streaming is not connected, so nothing would answer.
    if (m_delegate.load(std::memory_order_acquire) == nullptr)
        return;
    m_bluetoothQueue.async([this] { sendBatteryLevel(); });
}

void SimulatedSensor::sendPacket()
{
    SensorDelegate* delegate = m_delegate.load(std::memory_order_acquire);
    m_synthesizer.nextPacket(m_samples);
    packSamples(m_samples, m_packet);
    m_packet[18] = static_cast<std::uint8_t>(m_packetsSent & 0xFF);
    m_packet[19] = static_cast<std::uint8_t>(m_packetsSent >> 8 & 0xFF);
    ++m_packetsSent;
    if (delegate)
        delegate->peripheralDidUpdateValueForCharacteristic(profile::ecgPacket, m_packet, {});
}

void SimulatedSensor::sendBatteryLevel()
{
    SensorDelegate* delegate = m_delegate.load(std::memory_order_acquire);
    if (!delegate)
        return;
    // Streaming time is counted in packets, so the charge follows the virtual or real time the
    // sensor has actually been running.
    const std::uint64_t drained = m_packetsSent * packetMilliseconds / millisecondsPerPercent;
    const auto level =
        static_cast<std::uint64_t>(m_startBattery) > drained ? m_startBattery - static_cast<int>(drained) : 0;
    m_battery[0] = static_cast<std::uint8_t>(level);
    delegate->peripheralDidUpdateValueForCharacteristic(profile::batteryLevel, m_battery, {});
}

} // namespace velorin
