#pragma once

#include "sensor/BleCentral.h"

#include <QBluetoothDeviceInfo>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velorin {

class QtBleCentral;
class QtBleConnection;

// Serialises the callbacks of one central and its peripherals: held while a delegate is called, and
// closed with the central, so that no callback runs once the central has been closed.
struct BleCallbackGate {
    std::recursive_mutex mutex;
    bool closed = false;
};

// A device that a scan of the Qt central reported. Plain data shared with the delegate; every
// operation hops onto the central's Qt thread and reaches the device through its connection, so it
// does nothing while there is none (or once the central is gone).
class QtBlePeripheral : public BlePeripheral, public std::enable_shared_from_this<QtBlePeripheral> {
public:
    QtBlePeripheral(std::weak_ptr<QtBleCentral> central, std::shared_ptr<BleCallbackGate> gate, std::string identifier,
                    std::string name);

    std::string identifier() const override { return m_identifier; }
    std::string name() const override;
    PeripheralState state() const override { return m_state.load(); }
    void setDelegate(PeripheralDelegate* delegate) override;
    void discoverServices() override;
    std::vector<BleService> services() const override;
    void discoverCharacteristics(const std::string& serviceUuid) override;
    void setNotifyValue(bool enabled, const BleCharacteristic& characteristic) override;
    void readValue(const BleCharacteristic& characteristic) override;
    void writeValue(std::span<const std::uint8_t> value, const BleCharacteristic& characteristic) override;
    void readRSSI() override;
    bool readsLiveRssi() const override { return false; }

    // The central's side.
    void setName(std::string name);
    void setState(PeripheralState state) { m_state.store(state); }
    void setServices(std::vector<BleService> services);
    // Qt thread: the latest sighting, which a connection is made from.
    const QBluetoothDeviceInfo& device() const { return m_device; }
    void setDevice(const QBluetoothDeviceInfo& device) { m_device = device; }
    // On the Bluetooth queue, under the gate.
    PeripheralDelegate* delegate() const { return m_delegate; }

private:
    void onConnection(std::function<void(QtBleConnection&)> operation);

    const std::weak_ptr<QtBleCentral> m_central;
    const std::shared_ptr<BleCallbackGate> m_gate;
    const std::string m_identifier;
    std::atomic<PeripheralState> m_state{PeripheralState::disconnected};
    QBluetoothDeviceInfo m_device; // Qt thread

    // Under the gate.
    std::string m_name;
    PeripheralDelegate* m_delegate = nullptr;
    std::vector<BleService> m_services;
};

} // namespace velorin
