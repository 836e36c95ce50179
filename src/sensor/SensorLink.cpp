#include "sensor/SensorLink.h"
#include "sensor/RememberedSensor.h"

#include "platform/Log.h"
#include "platform/Queue.h"
#include "sensor/LinkOutlets.h"
#include "sensor/SensorProfile.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "signal/Acquisition.h"

#include <utility>

namespace velorin {

namespace {

bool isBusy(const BlePeripheral& peripheral)
{
    const PeripheralState state = peripheral.state();
    return state == PeripheralState::connecting || state == PeripheralState::connected;
}

} // namespace

SensorLink::SensorLink(BleCentralFactory& factory, Queue& bluetoothQueue, Timers& timers, Log& log,
                       SettingsStore& settings, Acquisition& acquisition, LinkOutlets& outlets)
    : m_factory(factory), m_bluetooth(bluetoothQueue), m_timers(timers), m_log(log), m_settings(settings),
      m_acq(acquisition), m_outlets(outlets)
{
}

SensorLink::~SensorLink()
{
    m_timers.cancel(m_retryTimer);
    if (m_sensorPeripheral)
        m_sensorPeripheral->setDelegate(nullptr);
}

void SensorLink::start(SensorDelegate& intake)
{
    // The central is made on the Bluetooth queue, so that its first callbacks find it in place.
    m_bluetooth.async([this, &intake] {
        m_intake = &intake;
        m_central = m_factory.createCentral(*this, m_bluetooth, restoreIdentifier);
        scan();
    });
}

void SensorLink::stop()
{
    m_bluetooth.async([this] {
        m_stopped = true;
        m_intake = nullptr;
        m_timers.cancel(m_retryTimer);
        m_retryTimer = 0;
        if (!m_central)
            return;
        m_central->stopScan();
        if (m_sensorPeripheral)
            m_central->cancelPeripheralConnection(m_sensorPeripheral);
    });
}

void SensorLink::queueScan()
{
    m_bluetooth.async([this] { scan(); });
}

void SensorLink::scan()
{
    if (m_central && !m_stopped)
        m_central->scanForPeripherals();
}

void SensorLink::centralManagerDidUpdateState()
{
    if (!m_central)
        return; // a state reported while the central was still being made; the next one counts
    const CentralState state = m_central->state();
    const bool wasOff = m_lastState == CentralState::poweredOff;
    m_lastState = state;
    switch (state) {
    case CentralState::poweredOff:
        m_log.line("CoreBluetooth BLE hardware is powered off");
        // The user hears of it once per power-off, however often the platform repeats the state.
        if (!wasOff)
            m_outlets.showRadioOff();
        break;
    case CentralState::poweredOn:
        m_log.line("CoreBluetooth BLE hardware is powered on and ready");
        queueScan();
        break;
    case CentralState::unauthorized:
        m_log.line("CoreBluetooth BLE state is unauthorized");
        m_outlets.showRadioUnavailable();
        break;
    case CentralState::unsupported:
        m_log.line("CoreBluetooth BLE hardware is unsupported on this platform");
        m_outlets.showRadioUnavailable();
        break;
    case CentralState::unknown:
        m_log.line("CoreBluetooth BLE state is unknown");
        m_outlets.showRadioUnavailable();
        break;
    case CentralState::resetting:
        m_outlets.showRadioUnavailable();
        break;
    }
}

void SensorLink::centralManagerWillRestoreState(const std::vector<std::shared_ptr<BlePeripheral>>& peripherals)
{
    // Only taken over: a sensor that is not connected is found again by the next scan.
    if (peripherals.empty() || !peripherals.front())
        return;
    m_sensorPeripheral = peripherals.front();
    m_sensorPeripheral->setDelegate(this);
    m_log.line("Restored peripheral: " + m_sensorPeripheral->identifier());
}

void SensorLink::centralManagerDidDiscoverPeripheral(const std::shared_ptr<BlePeripheral>& peripheral,
                                                     const AdvertisementData& advertisement, int rssi)
{
    if (!peripheral || !advertisement.localName || !profile::isSensorName(*advertisement.localName))
        return;
    const std::string key = peripheral->identifier();
    if (key.empty())
        return; // nothing to list it or remember it by
    if (!m_devices.contains(key)) {
        // The chosen sensor is listed however many others came first.
        if (m_devices.size() < mostListedSensors || key == m_acq.chosenSensorId) {
            listSensor(key, rssi);
        } else if (!m_listFullLogged) {
            m_listFullLogged = true;
            m_log.line("The sensor list holds " + std::to_string(mostListedSensors) +
                       " sensors; further ones are not listed in this run");
        }
    }
    m_log.line("Found the heart rate monitor: " + *advertisement.localName);
    if (!m_acq.chosenSensorId.empty() && key == m_acq.chosenSensorId)
        connectSensor(peripheral);
}

void SensorLink::listSensor(const std::string& key, int rssi)
{
    const auto remembered = m_settings.text(sensorKeys::selectedUUID);
    m_devices.add(key, sensorLabel(key, rssi, remembered && *remembered == key,
                                   m_settings.text(keys::Name).value_or("")));
}

void SensorLink::connectSensor(const std::shared_ptr<BlePeripheral>& peripheral)
{
    const std::string key = peripheral->identifier();
    // A repeated report of the sensor being connected must not start a second connection.
    if (m_sensorPeripheral && m_sensorPeripheral->identifier() == key && isBusy(*m_sensorPeripheral))
        return;
    m_central->stopScan();
    if (m_sensorPeripheral && m_sensorPeripheral->identifier() != key) {
        // Another sensor was chosen: the old one must not go on streaming into the same recording.
        m_sensorPeripheral->setDelegate(nullptr);
        m_central->cancelPeripheralConnection(m_sensorPeripheral);
    }
    m_sensorPeripheral = peripheral;
    peripheral->setDelegate(this);
    m_central->connectPeripheral(peripheral);
    m_outlets.showSensorTakenUp(peripheral->name());
}

bool SensorLink::isSensor(const BlePeripheral& peripheral) const
{
    return m_sensorPeripheral && (m_sensorPeripheral.get() == &peripheral ||
                                  m_sensorPeripheral->identifier() == peripheral.identifier());
}

void SensorLink::centralManagerDidConnectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral)
{
    peripheral->setDelegate(this);
    peripheral->discoverServices();
    m_connected = std::string("Connected: ") + (peripheral->state() == PeripheralState::connected ? "YES" : "NO");
    m_log.line(m_connected);
    // A disconnect asked for before this link came up is over: a later drop is not the user's.
    m_disconnectAsked = false;
    if (isSensor(*peripheral) && !m_stopped)
        m_outlets.showSensorConnected();
}

void SensorLink::centralManagerDidFailToConnectPeripheral(const std::shared_ptr<BlePeripheral>&,
                                                          const std::string& error)
{
    m_log.line("Did fail to connect: " + error);
    // The scan stopped before connecting; without a new one the sensor would not be found again.
    // One retry pending at a time, however often connections fail.
    if (m_retryTimer != 0 || m_stopped)
        return;
    m_retryTimer = m_timers.oneShot(retryAfterFailedConnection, [this] {
        m_bluetooth.async([this] {
            m_retryTimer = 0;
            scan();
        });
    });
}

void SensorLink::centralManagerDidDisconnectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral,
                                                       const std::string& error)
{
    m_log.line("Disconnected: " + (error.empty() ? std::string("no error") : error));
    queueScan();
    if (peripheral && isSensor(*peripheral)) {
        m_streaming = false;
        m_packetsSinceRead = -1;
        m_batteryTicksWaiting = 0;
    }
    // The sensor left behind when another was chosen drops quietly, as does the one let go when the
    // monitor closes: nobody is to be told to connect it again.
    const bool byUser = std::exchange(m_disconnectAsked, false);
    if (peripheral && isSensor(*peripheral) && !m_stopped)
        m_outlets.showSensorDisconnected(byUser);
}

void SensorLink::peripheralDidDiscoverServices(BlePeripheral& peripheral, const std::string& error)
{
    if (!error.empty())
        m_log.line("Error discovering services: " + error);
    const std::vector<BleService> services = peripheral.services();
    if (services.empty())
        m_log.line("The sensor offers no services");
    for (const BleService& service : services) {
        m_log.line("Discovered service: " + service.uuid);
        peripheral.discoverCharacteristics(service.uuid);
    }
}

void SensorLink::peripheralDidDiscoverCharacteristicsForService(BlePeripheral& peripheral, const BleService& service,
                                                                const std::string& error)
{
    if (!error.empty())
        m_log.line("Error discovering characteristics of " + service.uuid + ": " + error);
    if (service.uuid == profile::heartRateService) {
        setUpHeartRateService(peripheral, service);
    } else if (service.uuid == profile::deviceInformationService) {
        for (const BleCharacteristic& characteristic : service.characteristics) {
            if (characteristic.uuid != profile::manufacturerName)
                continue;
            peripheral.readValue(characteristic);
            m_log.line("Found a device manufacturer name characteristic");
        }
    }
    // The battery is read by the 5-second timer only; other services need nothing.
}

void SensorLink::setUpHeartRateService(BlePeripheral& peripheral, const BleService& service)
{
    // In the sensor's order: the pin may be written before or after the notifications are on.
    bool packets = false;
    for (const BleCharacteristic& characteristic : service.characteristics) {
        // The log ends every line itself.
        m_log.line("Karakteristika:" + characteristic.uuid);
        if (characteristic.uuid == profile::controlPoint)
            writePin(peripheral, characteristic);
        if (characteristic.uuid == profile::ecgPacket) {
            peripheral.setNotifyValue(true, characteristic);
            m_log.line("Found heart rate measurement characteristic");
            packets = true;
        } else if (characteristic.uuid == profile::bodySensorLocation) {
            peripheral.readValue(characteristic);
            m_log.line("Found body sensor location characteristic");
        }
    }
    if (!packets)
        m_log.line("The heart rate service has no measurement characteristic: no ECG will arrive");
}

void SensorLink::writePin(BlePeripheral& peripheral, const BleCharacteristic& controlPoint)
{
    const std::string& pin = m_acq.sensorPin;
    if (pin.size() > profile::maxPinBytes) {
        // Cut short it would be a wrong pin; the write is left out instead.
        m_log.line("The pin is longer than " + std::to_string(profile::maxPinBytes) +
                   " bytes; the control point is not written");
        return;
    }
    const std::string value = profile::controlPointValue(pin);
    peripheral.writeValue(std::span(reinterpret_cast<const std::uint8_t*>(value.data()), value.size()),
                          controlPoint);
}

void SensorLink::peripheralDidUpdateValueForCharacteristic(BlePeripheral& peripheral,
                                                           const BleCharacteristic& characteristic,
                                                           std::span<const std::uint8_t> value,
                                                           const std::string& error)
{
    if (!isSensor(peripheral))
        return;
    if (characteristic.uuid == profile::ecgPacket && m_packetsSinceRead >= 0)
        ++m_packetsSinceRead;
    if (characteristic.uuid == profile::batteryLevel)
        m_batteryTicksWaiting = 0;
    if (m_intake)
        m_intake->peripheralDidUpdateValueForCharacteristic(characteristic.uuid, value, error);
}

void SensorLink::peripheralDidUpdateNotificationStateForCharacteristic(BlePeripheral&,
                                                                       const BleCharacteristic& characteristic,
                                                                       const std::string& error)
{
    if (!error.empty())
        m_log.line("Error changing notification state: " + error);
    if (characteristic.uuid == profile::ecgPacket) {
        m_log.line((characteristic.isNotifying ? "Notification began on " : "Notification not began on ") +
                   characteristic.uuid);
        m_streaming = characteristic.isNotifying;
        m_packetsSinceRead = -1;
    }
}

void SensorLink::peripheralDidReadRSSI(BlePeripheral&, int rssi, const std::string& error)
{
    // A failed read carries no strength to judge.
    if (!error.empty())
        m_log.line("Error reading the signal strength: " + error);
    else if (rssi < outOfRangeRssi)
        warnOutOfRange();
    m_log.line("RSSI Method");
}

void SensorLink::warnOutOfRange()
{
    if (m_outOfRangeShown != 0)
        return;
    m_outOfRangeShown = 1;
    m_outlets.showOutOfRange();
}

void SensorLink::judgeLinkByPackets(const BlePeripheral& peripheral)
{
    const int packets = std::exchange(m_packetsSinceRead, m_streaming ? 0 : -1);
    const bool streaming = peripheral.state() == PeripheralState::connected && m_streaming;
    // Said once per silence, not every 5 s of an hour without the sensor.
    if (!streaming && std::exchange(m_noFigureLogged, true) == false)
        m_log.line("No signal figure: the sensor is not streaming");
    if (!streaming)
        return;
    m_noFigureLogged = false;
    if (packets < 0)
        return; // streaming began within this period: judged at the next read
    m_log.line("Signal judged from ECG packets: " + std::to_string(packets) + " of " +
               std::to_string(packetsPerRead) + " expected in 5 s");
    if (packets * 2 < packetsPerRead)
        warnOutOfRange();
}

void SensorLink::readBatteryLevel()
{
    m_bluetooth.async([this] {
        // Before any sensor was taken up nothing is asked; after a drop the old one still is.
        if (!m_sensorPeripheral || m_stopped)
            return;
        // One battery read at a time: reads that BlueZ leaves unanswered would otherwise gather and
        // come back all at once. One not answered in 30 s is given up and asked again.
        const bool waiting = m_batteryTicksWaiting > 0 && m_batteryTicksWaiting < batteryReadGivenUpAfterTicks;
        auto battery = characteristicWithUUID(profile::batteryLevel, profile::batteryService, *m_sensorPeripheral);
        if (battery && !waiting) {
            m_sensorPeripheral->readValue(*battery);
            m_batteryTicksWaiting = 1;
        } else if (battery) {
            ++m_batteryTicksWaiting;
        }
        if (m_sensorPeripheral->readsLiveRssi())
            m_sensorPeripheral->readRSSI();
        else
            judgeLinkByPackets(*m_sensorPeripheral);
    });
}

std::optional<BleCharacteristic> SensorLink::characteristicWithUUID(std::string_view characteristicUuid,
                                                                    std::string_view serviceUuid,
                                                                    const BlePeripheral& peripheral)
{
    std::optional<BleCharacteristic> found;
    for (const BleService& service : peripheral.services()) {
        if (service.uuid != serviceUuid)
            continue;
        for (const BleCharacteristic& characteristic : service.characteristics)
            if (characteristic.uuid == characteristicUuid)
                found = characteristic;
    }
    return found;
}

std::vector<std::string> SensorLink::choiceLabels()
{
    std::vector<std::string> labels;
    m_sensorKeyList.clear();
    for (BTLEDevices::Entry& entry : m_devices.entries()) {
        m_sensorKeyList.push_back(std::move(entry.key));
        labels.push_back(std::move(entry.label));
    }
    return labels;
}

bool SensorLink::sensorChoice(int buttonIndex, const std::string& pin)
{
    m_log.line("Entered: " + pin);
    if (pin.size() > profile::maxPinBytes) {
        m_log.line("Pin refused: longer than " + std::to_string(profile::maxPinBytes) + " bytes");
        return false;
    }
    std::optional<std::string> key;
    if (buttonIndex >= 1 && static_cast<std::size_t>(buttonIndex) <= m_sensorKeyList.size()) {
        key = m_sensorKeyList[static_cast<std::size_t>(buttonIndex) - 1];
        m_log.line("UUID: " + *key);
        m_settings.set(sensorKeys::selectedUUID, *key);
    }
    m_acq.connectNoticePending.store(1);
    m_acq.valueUpdateCount.store(0);
    m_settings.set(sensorKeys::sensorPin, pin);
    m_bluetooth.async([this, key, pin] {
        if (key && *key != m_acq.chosenSensorId) {
            // The old sensor stops streaming now, not once the new one is found: none of its
            // packets may follow the choice of another.
            if (m_sensorPeripheral && m_sensorPeripheral->identifier() != *key) {
                m_sensorPeripheral->setDelegate(nullptr);
                if (m_central)
                    m_central->cancelPeripheralConnection(m_sensorPeripheral);
                m_sensorPeripheral.reset();
            }
            m_outlets.sensorChanged();
            m_acq.chosenSensorId = *key;
        }
        m_acq.sensorPin = pin;
        scan();
    });
    m_settings.flush();
    return true;
}

void SensorLink::disconnectClick()
{
    m_bluetooth.async([this] {
        if (m_sensorPeripheral && m_central) {
            m_disconnectAsked = true;
            m_central->stopScan();
            m_central->cancelPeripheralConnection(m_sensorPeripheral);
        }
        m_acq.chosenSensorId.clear();
        m_outlets.disableDisconnect();
    });
}

} // namespace velorin
