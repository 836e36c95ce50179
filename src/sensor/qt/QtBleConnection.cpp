#include "sensor/qt/QtBleConnection.h"

#include "sensor/qt/BleUuidText.h"
#include "sensor/qt/QtBleCentral.h"

#include <QMetaEnum>

#include <algorithm>

namespace velorin {

namespace {

std::vector<std::uint8_t> bytesOf(const QByteArray& value)
{
    return {value.begin(), value.end()};
}

} // namespace

std::optional<QtBleConnection::Operation> QtBleConnection::operationFailedBy(QLowEnergyService::ServiceError error)
{
    switch (error) {
    case QLowEnergyService::CharacteristicReadError:
        return Operation::read;
    case QLowEnergyService::CharacteristicWriteError:
        return Operation::write;
    case QLowEnergyService::DescriptorWriteError:
        return Operation::notify;
    default:
        return std::nullopt;
    }
}

QtBleConnection::QtBleConnection(std::weak_ptr<QtBleCentral> central, std::shared_ptr<QtBlePeripheral> peripheral,
                                 const QBluetoothDeviceInfo& device, QObject* parent)
    : QObject(parent), m_central(std::move(central)), m_peripheral(std::move(peripheral)), m_device(device)
{
}

void QtBleConnection::open()
{
    // Children of this object: deleting it ends the link, and its signals stop with it.
    m_controller = QLowEnergyController::createCentral(m_device, this);
    connect(m_controller, &QLowEnergyController::connected, this, [this] { connected(); });
    connect(m_controller, &QLowEnergyController::disconnected, this, [this] { ended(); });
    connect(m_controller, &QLowEnergyController::errorOccurred, this, [this] { controllerError(); });
    connect(m_controller, &QLowEnergyController::stateChanged, this, [this](QLowEnergyController::ControllerState s) {
        if (s == QLowEnergyController::UnconnectedState)
            ended();
    });
    connect(m_controller, &QLowEnergyController::discoveryFinished, this, [this] { servicesDiscovered(); });
    m_controller->connectToDevice();
}

void QtBleConnection::abandon()
{
    m_finished = true;
    if (m_controller)
        m_controller->disconnectFromDevice();
}

void QtBleConnection::connected()
{
    if (m_finished || m_up)
        return;
    m_up = true;
    m_peripheral->setState(PeripheralState::connected);
    if (auto central = m_central.lock(); central && !central->isClosed())
        central->connectionUp(*this);
}

void QtBleConnection::controllerError()
{
    m_error = m_controller->errorString().toStdString();
    // Some errors leave the controller where it was, without a state change to end the link: a
    // service discovery that BlueZ did not answer leaves a link without services, which would
    // stay up with nothing streaming. The link is let go, so that the sensor is dialled afresh.
    if (m_controller->state() != QLowEnergyController::UnconnectedState) {
        if (auto central = m_central.lock())
            central->log().line("Bluetooth link given up: " + m_error);
        m_controller->disconnectFromDevice();
    }
    ended();
}

void QtBleConnection::ended()
{
    if (m_finished)
        return;
    m_finished = true;
    if (auto central = m_central.lock(); central && !central->isClosed())
        central->connectionEnded(*this, m_up, m_error);
}

void QtBleConnection::tellDelegate(std::function<void(PeripheralDelegate&, BlePeripheral&)> call)
{
    auto central = m_central.lock();
    if (!central || m_finished)
        return;
    central->deliver([peripheral = m_peripheral, call = std::move(call)] {
        if (PeripheralDelegate* delegate = peripheral->delegate())
            call(*delegate, *peripheral);
    });
}

void QtBleConnection::discoverServices()
{
    if (!m_up || m_finished)
        return;
    if (m_controller->state() == QLowEnergyController::DiscoveredState)
        servicesDiscovered(); // asked again: the same answer
    else if (m_controller->state() == QLowEnergyController::ConnectedState)
        m_controller->discoverServices();
}

void QtBleConnection::servicesDiscovered()
{
    if (m_finished)
        return;
    for (const QBluetoothUuid& uuid : m_controller->services()) {
        std::string text = bleUuidText(uuid);
        if (serviceNamed(text))
            continue;
        QLowEnergyService* object = m_controller->createServiceObject(uuid, this);
        if (!object)
            continue;
        m_services.push_back(std::make_unique<Service>(Service{std::move(text), object, {}, {}, false}));
        Service* service = m_services.back().get();
        connect(object, &QLowEnergyService::stateChanged, this,
                [this, service](QLowEnergyService::ServiceState state) { serviceStateChanged(*service, state); });
        connect(object, &QLowEnergyService::errorOccurred, this,
                [this, service](QLowEnergyService::ServiceError error) { serviceError(*service, error); });
        connect(object, &QLowEnergyService::characteristicChanged, this,
                [this, service](const QLowEnergyCharacteristic& c, const QByteArray& value) {
                    const int instance = instanceOf(*service, c);
                    // bluetoothd announces every value it reads as a change, and Qt passes that on for
                    // a characteristic that can notify: without notifications switched on, a change is
                    // only the echo of a read, whose answer comes by itself.
                    if (!service->notifying.count(instance))
                        return;
                    const BleCharacteristic described = describe(*service, instance);
                    tellDelegate([described, bytes = bytesOf(value)](PeripheralDelegate& d, BlePeripheral& p) {
                        d.peripheralDidUpdateValueForCharacteristic(p, described, bytes, {});
                    });
                });
        connect(object, &QLowEnergyService::characteristicRead, this,
                [this, service](const QLowEnergyCharacteristic& c, const QByteArray& value) {
                    const int instance = instanceOf(*service, c);
                    answered(*service, Operation::read, instance);
                    tellDelegate([described = describe(*service, instance), bytes = bytesOf(value)](
                                     PeripheralDelegate& d, BlePeripheral& p) {
                        d.peripheralDidUpdateValueForCharacteristic(p, described, bytes, {});
                    });
                });
        connect(object, &QLowEnergyService::characteristicWritten, this,
                [this, service](const QLowEnergyCharacteristic& c) {
                    answered(*service, Operation::write, instanceOf(*service, c));
                });
        connect(object, &QLowEnergyService::descriptorWritten, this,
                [this, service](const QLowEnergyDescriptor& descriptor, const QByteArray& value) {
                    const auto characteristics = service->object->characteristics();
                    const auto found = std::find_if(characteristics.begin(), characteristics.end(), [&](const auto& c) {
                        return c.clientCharacteristicConfiguration() == descriptor;
                    });
                    if (found == characteristics.end())
                        return;
                    const int instance = static_cast<int>(found - characteristics.begin());
                    answered(*service, Operation::notify, instance);
                    if (value == QLowEnergyCharacteristic::CCCDDisable)
                        service->notifying.erase(instance);
                    else
                        service->notifying.insert(instance);
                    publishServices();
                    tellDelegate([described = describe(*service, instance)](PeripheralDelegate& d, BlePeripheral& p) {
                        d.peripheralDidUpdateNotificationStateForCharacteristic(p, described, {});
                    });
                });
    }
    publishServices();
    tellDelegate([](PeripheralDelegate& d, BlePeripheral& p) { d.peripheralDidDiscoverServices(p, {}); });
}

void QtBleConnection::discoverCharacteristics(const std::string& serviceUuid)
{
    if (!m_up || m_finished)
        return;
    Service* service = serviceNamed(serviceUuid);
    if (!service) {
        tellDelegate([serviceUuid](PeripheralDelegate& d, BlePeripheral& p) {
            d.peripheralDidDiscoverCharacteristicsForService(p, BleService{serviceUuid, {}}, "No such service");
        });
        return;
    }
    switch (service->object->state()) {
    case QLowEnergyService::RemoteServiceDiscovered:
        serviceStateChanged(*service, QLowEnergyService::RemoteServiceDiscovered);
        break;
    case QLowEnergyService::RemoteService:
        service->discovering = true;
        // Values are read on demand; reading every one now would only slow the set-up.
        service->object->discoverDetails(QLowEnergyService::SkipValueDiscovery);
        break;
    default:
        break; // on its way
    }
}

void QtBleConnection::serviceStateChanged(Service& service, QLowEnergyService::ServiceState state)
{
    if (state == QLowEnergyService::RemoteServiceDiscovered) {
        service.discovering = false;
        publishServices();
        tellDelegate([described = describe(service)](PeripheralDelegate& d, BlePeripheral& p) {
            d.peripheralDidDiscoverCharacteristicsForService(p, described, {});
        });
    } else if (state == QLowEnergyService::RemoteService && service.discovering) {
        service.discovering = false;
        tellDelegate([uuid = service.uuid](PeripheralDelegate& d, BlePeripheral& p) {
            d.peripheralDidDiscoverCharacteristicsForService(p, BleService{uuid, {}}, "Characteristic discovery failed");
        });
    }
}

void QtBleConnection::issue(Service& service, Pending pending, const std::function<void()>& call)
{
    service.pending.push_back(pending);
    m_issuing = true;
    call();
    m_issuing = false;
}

void QtBleConnection::answered(Service& service, Operation operation, int instance)
{
    const auto found = std::find_if(service.pending.begin(), service.pending.end(), [&](const Pending& p) {
        return p.operation == operation && p.instance == instance;
    });
    if (found != service.pending.end())
        service.pending.erase(found);
}

void QtBleConnection::serviceError(Service& service, QLowEnergyService::ServiceError error)
{
    std::optional<Pending> failed;
    if (m_issuing && !service.pending.empty()) {
        failed = service.pending.back();
        service.pending.pop_back();
    } else if (const auto operation = operationFailedBy(error)) {
        const auto found = std::find_if(service.pending.begin(), service.pending.end(),
                                        [&](const Pending& p) { return p.operation == *operation; });
        if (found != service.pending.end()) {
            failed = *found;
            service.pending.erase(found);
        }
    }
    const std::string text = std::string("Bluetooth ") + QMetaEnum::fromType<QLowEnergyService::ServiceError>().valueToKey(error);
    if (!failed) {
        if (auto central = m_central.lock())
            central->log().line(text + " on service " + service.uuid);
        return;
    }
    const BleCharacteristic described = describe(service, failed->instance);
    if (failed->operation == Operation::read)
        tellDelegate([described, text](PeripheralDelegate& d, BlePeripheral& p) {
            d.peripheralDidUpdateValueForCharacteristic(p, described, {}, text);
        });
    else if (failed->operation == Operation::notify)
        tellDelegate([described, text](PeripheralDelegate& d, BlePeripheral& p) {
            d.peripheralDidUpdateNotificationStateForCharacteristic(p, described, text);
        });
    // A failed write has no answer to give: writes are not answered.
}

QtBleConnection::Service* QtBleConnection::serviceNamed(const std::string& uuid)
{
    for (const auto& service : m_services)
        if (service->uuid == uuid)
            return service.get();
    return nullptr;
}

int QtBleConnection::instanceOf(const Service& service, const QLowEnergyCharacteristic& characteristic) const
{
    const auto characteristics = service.object->characteristics();
    return static_cast<int>(characteristics.indexOf(characteristic));
}

QLowEnergyCharacteristic QtBleConnection::characteristicAt(const Service& service,
                                                           const BleCharacteristic& characteristic) const
{
    const auto characteristics = service.object->characteristics();
    if (characteristic.instance >= 0 && characteristic.instance < characteristics.size() &&
        bleUuidText(characteristics[characteristic.instance].uuid()) == characteristic.uuid)
        return characteristics[characteristic.instance];
    for (const auto& c : characteristics)
        if (bleUuidText(c.uuid()) == characteristic.uuid)
            return c;
    return {};
}

BleCharacteristic QtBleConnection::describe(const Service& service, int instance) const
{
    const auto characteristics = service.object->characteristics();
    BleCharacteristic described{{}, service.uuid, instance, service.notifying.count(instance) != 0};
    if (instance >= 0 && instance < characteristics.size())
        described.uuid = bleUuidText(characteristics[instance].uuid());
    return described;
}

BleService QtBleConnection::describe(const Service& service) const
{
    BleService described{service.uuid, {}};
    if (service.object->state() == QLowEnergyService::RemoteServiceDiscovered)
        for (int i = 0; i < service.object->characteristics().size(); ++i)
            described.characteristics.push_back(describe(service, i));
    return described;
}

void QtBleConnection::publishServices()
{
    if (m_finished)
        return; // the central has emptied the list, and a late answer must not fill it again
    std::vector<BleService> services;
    for (const auto& service : m_services)
        services.push_back(describe(*service));
    m_peripheral->setServices(std::move(services));
}

void QtBleConnection::setNotifyValue(bool enabled, const BleCharacteristic& characteristic)
{
    Service* service = m_up && !m_finished ? serviceNamed(characteristic.serviceUuid) : nullptr;
    if (!service)
        return;
    const QLowEnergyCharacteristic c = characteristicAt(*service, characteristic);
    if (!c.isValid())
        return;
    const int instance = instanceOf(*service, c);
    const QLowEnergyDescriptor configuration = c.clientCharacteristicConfiguration();
    if (!configuration.isValid()) {
        tellDelegate([described = describe(*service, instance)](PeripheralDelegate& d, BlePeripheral& p) {
            d.peripheralDidUpdateNotificationStateForCharacteristic(p, described, "The characteristic does not notify");
        });
        return;
    }
    issue(*service, {Operation::notify, instance}, [&] {
        service->object->writeDescriptor(configuration, enabled ? QLowEnergyCharacteristic::CCCDEnableNotification
                                                                : QLowEnergyCharacteristic::CCCDDisable);
    });
}

void QtBleConnection::readValue(const BleCharacteristic& characteristic)
{
    Service* service = m_up && !m_finished ? serviceNamed(characteristic.serviceUuid) : nullptr;
    if (!service)
        return;
    const QLowEnergyCharacteristic c = characteristicAt(*service, characteristic);
    if (c.isValid())
        issue(*service, {Operation::read, instanceOf(*service, c)}, [&] { service->object->readCharacteristic(c); });
}

void QtBleConnection::writeValue(const QByteArray& value, const BleCharacteristic& characteristic)
{
    Service* service = m_up && !m_finished ? serviceNamed(characteristic.serviceUuid) : nullptr;
    if (!service)
        return;
    const QLowEnergyCharacteristic c = characteristicAt(*service, characteristic);
    if (c.isValid())
        issue(*service, {Operation::write, instanceOf(*service, c)},
              [&] { service->object->writeCharacteristic(c, value, QLowEnergyService::WriteWithResponse); });
}

void QtBleConnection::readRSSI()
{
    // Qt 6.4 cannot read the signal strength of a connected link, and BlueZ keeps only the strength
    // of advertisements, which a connected sensor no longer sends: a figure would be stale.
    if (m_up && !m_finished)
        tellDelegate([](PeripheralDelegate& d, BlePeripheral& p) {
            d.peripheralDidReadRSSI(p, 0, "no live signal strength on this platform");
        });
}

} // namespace velorin
