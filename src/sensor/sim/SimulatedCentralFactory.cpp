#include "sensor/sim/SimulatedCentralFactory.h"

#include "sensor/ClosingCentral.h"

namespace velorin {

SimulatedCentralFactory::SimulatedCentralFactory(Timers& timers, Log& log, SimulatedNimboOptions options)
    : m_timers(timers), m_log(log), m_options(options)
{
}

std::unique_ptr<BleCentral> SimulatedCentralFactory::createCentral(CentralDelegate& delegate, Queue& bluetoothQueue,
                                                                   std::string_view /*restoreIdentifier*/)
{
    // Nothing is kept across runs, so there is never anything to restore.
    auto central = SimulatedCentral::create(delegate, bluetoothQueue, m_timers, m_log, m_options);
    {
        std::lock_guard lock(m_mutex);
        m_current = central;
    }
    return std::make_unique<ClosingCentral<SimulatedCentral>>(std::move(central));
}

std::shared_ptr<SimulatedCentral> SimulatedCentralFactory::current()
{
    std::lock_guard lock(m_mutex);
    return m_current.lock();
}

void SimulatedCentralFactory::dropLink(int sensor)
{
    forward(&SensorFaults::dropLink, sensor);
}

void SimulatedCentralFactory::goOutOfRange(int sensor, Nanoseconds away)
{
    forward(&SensorFaults::goOutOfRange, sensor, away);
}

void SimulatedCentralFactory::setRadioPowered(bool on)
{
    forward(&SensorFaults::setRadioPowered, on);
}

void SimulatedCentralFactory::refuseNextConnection(int sensor)
{
    forward(&SensorFaults::refuseNextConnection, sensor);
}

void SimulatedCentralFactory::sendShortPacket(int sensor)
{
    forward(&SensorFaults::sendShortPacket, sensor);
}

void SimulatedCentralFactory::setBatteryLevel(int sensor, int percent)
{
    forward(&SensorFaults::setBatteryLevel, sensor, percent);
}

void SimulatedCentralFactory::setSignalStrength(int sensor, int dBm)
{
    forward(&SensorFaults::setSignalStrength, sensor, dBm);
}

} // namespace velorin
