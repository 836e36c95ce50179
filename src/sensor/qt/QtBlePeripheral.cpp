#include "sensor/qt/QtBlePeripheral.h"

#include "sensor/qt/QtBleCentral.h"
#include "sensor/qt/QtBleConnection.h"

#include <QByteArray>

namespace velorin {

QtBlePeripheral::QtBlePeripheral(std::weak_ptr<QtBleCentral> central, std::shared_ptr<BleCallbackGate> gate,
                                 std::string identifier, std::string name)
    : m_central(std::move(central)), m_gate(std::move(gate)), m_identifier(std::move(identifier)),
      m_name(std::move(name))
{
}

std::string QtBlePeripheral::name() const
{
    std::lock_guard lock(m_gate->mutex);
    return m_name;
}

void QtBlePeripheral::setName(std::string name)
{
    std::lock_guard lock(m_gate->mutex);
    m_name = std::move(name);
}

void QtBlePeripheral::setDelegate(PeripheralDelegate* delegate)
{
    // Under the gate, so that no callback to the old delegate runs once this returns.
    std::lock_guard lock(m_gate->mutex);
    m_delegate = delegate;
}

std::vector<BleService> QtBlePeripheral::services() const
{
    std::lock_guard lock(m_gate->mutex);
    return m_services;
}

void QtBlePeripheral::setServices(std::vector<BleService> services)
{
    std::lock_guard lock(m_gate->mutex);
    m_services = std::move(services);
}

void QtBlePeripheral::onConnection(std::function<void(QtBleConnection&)> operation)
{
    auto central = m_central.lock();
    if (!central)
        return;
    central->onQtThread([self = shared_from_this(), operation = std::move(operation)](QtBleCentral& c) {
        if (QtBleConnection* connection = c.connectionOf(*self))
            operation(*connection);
    });
}

void QtBlePeripheral::discoverServices()
{
    onConnection([](QtBleConnection& connection) { connection.discoverServices(); });
}

void QtBlePeripheral::discoverCharacteristics(const std::string& serviceUuid)
{
    onConnection([serviceUuid](QtBleConnection& connection) { connection.discoverCharacteristics(serviceUuid); });
}

void QtBlePeripheral::setNotifyValue(bool enabled, const BleCharacteristic& characteristic)
{
    onConnection([enabled, characteristic](QtBleConnection& connection) {
        connection.setNotifyValue(enabled, characteristic);
    });
}

void QtBlePeripheral::readValue(const BleCharacteristic& characteristic)
{
    onConnection([characteristic](QtBleConnection& connection) { connection.readValue(characteristic); });
}

void QtBlePeripheral::writeValue(std::span<const std::uint8_t> value, const BleCharacteristic& characteristic)
{
    QByteArray bytes(reinterpret_cast<const char*>(value.data()), static_cast<qsizetype>(value.size()));
    onConnection([bytes, characteristic](QtBleConnection& connection) { connection.writeValue(bytes, characteristic); });
}

void QtBlePeripheral::readRSSI()
{
    onConnection([](QtBleConnection& connection) { connection.readRSSI(); });
}

} // namespace velorin
