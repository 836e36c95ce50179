#pragma once

#include "sensor/BleCentral.h"
#include "sensor/qt/QtBlePeripheral.h"

#include <QBluetoothDeviceInfo>
#include <QLowEnergyController>
#include <QLowEnergyService>
#include <QObject>

#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velorin {

class QtBleCentral;

// One link to a peripheral: its QLowEnergyController and service objects, on the Qt thread. Reports
// the link's end once to the central (which then deletes it later); GATT answers go to the
// peripheral's delegate through the central's Bluetooth queue.
//
// Qt reports a failed GATT operation without naming it, so the operations waiting for an answer are
// kept per service in order, and an error answers the oldest one of its kind.
class QtBleConnection : public QObject {
public:
    QtBleConnection(std::weak_ptr<QtBleCentral> central, std::shared_ptr<QtBlePeripheral> peripheral,
                    const QBluetoothDeviceInfo& device, QObject* parent);

    const std::shared_ptr<QtBlePeripheral>& peripheral() const { return m_peripheral; }
    void open();
    // Ends the link without reporting it.
    void abandon();
    bool isUp() const { return m_up; }

    void discoverServices();
    void discoverCharacteristics(const std::string& serviceUuid);
    void setNotifyValue(bool enabled, const BleCharacteristic& characteristic);
    void readValue(const BleCharacteristic& characteristic);
    void writeValue(const QByteArray& value, const BleCharacteristic& characteristic);
    void readRSSI();

private:
    enum class Operation { read, write, notify };
    struct Pending {
        Operation operation;
        int instance;
    };
    struct Service {
        std::string uuid;
        QLowEnergyService* object;
        std::set<int> notifying; // instances
        std::deque<Pending> pending;
        bool discovering = false;
    };

    static std::optional<Operation> operationFailedBy(QLowEnergyService::ServiceError error);
    void connected();
    void controllerError();
    void ended();
    void servicesDiscovered();
    void serviceStateChanged(Service& service, QLowEnergyService::ServiceState state);
    void serviceError(Service& service, QLowEnergyService::ServiceError error);
    void answered(Service& service, Operation operation, int instance);
    void issue(Service& service, Pending pending, const std::function<void()>& call);

    Service* serviceNamed(const std::string& uuid);
    int instanceOf(const Service& service, const QLowEnergyCharacteristic& characteristic) const;
    QLowEnergyCharacteristic characteristicAt(const Service& service, const BleCharacteristic& characteristic) const;
    BleCharacteristic describe(const Service& service, int instance) const;
    BleService describe(const Service& service) const;
    void publishServices();
    // Posts a callback to the peripheral's delegate.
    void tellDelegate(std::function<void(PeripheralDelegate&, BlePeripheral&)> call);

    std::weak_ptr<QtBleCentral> m_central;
    std::shared_ptr<QtBlePeripheral> m_peripheral;
    QBluetoothDeviceInfo m_device;
    QLowEnergyController* m_controller = nullptr;
    std::vector<std::unique_ptr<Service>> m_services;
    bool m_up = false;
    bool m_finished = false;
    std::string m_error;
    // While an operation is handed to Qt, which may fail it at once.
    bool m_issuing = false;
};

} // namespace velorin
