#include "sensor/sim/SimulatedCentralFactory.h"

namespace velorin {

namespace {

// The owner's handle: dropping it closes the central, whoever still holds its sensors.
class OwnedCentral : public BleCentral {
public:
    explicit OwnedCentral(std::shared_ptr<SimulatedCentral> central) : m_central(std::move(central)) {}
    ~OwnedCentral() override { m_central->close(); }
    OwnedCentral(const OwnedCentral&) = delete;
    OwnedCentral& operator=(const OwnedCentral&) = delete;

    CentralState state() const override { return m_central->state(); }
    void scanForPeripherals() override { m_central->scanForPeripherals(); }
    void stopScan() override { m_central->stopScan(); }
    void connectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral) override
    {
        m_central->connectPeripheral(peripheral);
    }
    void cancelPeripheralConnection(const std::shared_ptr<BlePeripheral>& peripheral) override
    {
        m_central->cancelPeripheralConnection(peripheral);
    }

private:
    std::shared_ptr<SimulatedCentral> m_central;
};

} // namespace

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
    return std::make_unique<OwnedCentral>(std::move(central));
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
