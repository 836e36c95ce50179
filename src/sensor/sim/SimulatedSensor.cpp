#include "sensor/sim/SimulatedSensor.h"

#include "sensor/SensorProfile.h"

namespace velorin {

SimulatedSensor::SimulatedSensor(Queue& bluetoothQueue, Queue& /*mainQueue*/, Timers& timers,
                                 SimulatedSensorOptions options)
    : m_bluetoothQueue(bluetoothQueue), m_timers(timers),
      m_packets(options.bpm, options.startBattery, options.seed)
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
    const auto packet = m_packets.nextPacket();
    if (delegate)
        delegate->peripheralDidUpdateValueForCharacteristic(profile::ecgPacket, packet, {});
}

void SimulatedSensor::sendBatteryLevel()
{
    SensorDelegate* delegate = m_delegate.load(std::memory_order_acquire);
    if (!delegate)
        return;
    m_battery[0] = static_cast<std::uint8_t>(m_packets.batteryLevel());
    delegate->peripheralDidUpdateValueForCharacteristic(profile::batteryLevel, m_battery, {});
}

} // namespace velorin
