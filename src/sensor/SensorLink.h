#pragma once

#include "platform/Timers.h"
#include "sensor/BTLEDevices.h"
#include "sensor/BleCentral.h"
#include "sensor/SensorSource.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

struct Acquisition;
class LinkOutlets;
class Log;
class Queue;
class SettingsStore;

// The link to the chest sensor over Bluetooth Low Energy: runs the central, lists every sensor it
// finds, connects the chosen one (the remembered one without asking), sets it up (pin, ECG
// notifications, one-off reads), watches its signal strength and reconnects it after every drop.
// Value updates of the sensor go on to intake.
//
// Central and peripheral callbacks and all of the link's own state belong to the Bluetooth queue;
// the main-queue operations (battery timer, sensor list, choice, disconnect button) hop onto it.
// chosenSensorId and sensorPin in the acquisition state are Bluetooth-queue state once started.
class SensorLink : public SensorSource, private CentralDelegate, private PeripheralDelegate {
public:
    static constexpr std::string_view restoreIdentifier = "RestorationID";
    // Weaker than this (in dBm) the user is warned, once per run.
    static constexpr int outOfRangeRssi = -85;
    // Without a live signal strength: ECG packets expected between two 5-second reads (one per
    // 0.112 s), and fewer than half of them arriving means the sensor is getting out of range.
    static constexpr int packetsPerRead = 44;
    static constexpr int batteryReadGivenUpAfterTicks = 6;
    static constexpr Nanoseconds retryAfterFailedConnection = std::chrono::seconds(2);
    // Sensors listed at most in a run. Anything may advertise the sensor's name under ever new
    // identifiers; the list (and a dialog with one button per sensor) must not grow without end.
    static constexpr std::size_t mostListedSensors = 64;

    SensorLink(BleCentralFactory& factory, Queue& bluetoothQueue, Timers& timers, Log& log, SettingsStore& settings,
               Acquisition& acquisition, LinkOutlets& outlets);
    ~SensorLink() override;
    SensorLink(const SensorLink&) = delete;
    SensorLink& operator=(const SensorLink&) = delete;

    // Main queue. start creates the central (on the Bluetooth queue) and scans.
    void start(SensorDelegate& intake) override;
    // Stops scanning, drops the link and stops forwarding updates.
    void stop() override;
    // Every 5 s: a battery read when the sensor offers one, and a signal-strength read.
    void readBatteryLevel() override;

    // Main queue: the labels for the sensor list, in the order found; remembers which key each
    // button stands for.
    std::vector<std::string> choiceLabels();
    // Main queue: the list's answer (button 1 is the first sensor). False when the pin is longer
    // than the sensor takes: then nothing is changed.
    bool sensorChoice(int buttonIndex, const std::string& pin);
    // Main queue: drops the link; the sensor is no longer connected by itself until chosen again.
    void disconnectClick();

    const BTLEDevices& devices() const { return m_devices; }
    // Bluetooth queue: the sensor connected, being connected or handed back by restoration.
    const std::shared_ptr<BlePeripheral>& sensorPeripheral() const { return m_sensorPeripheral; }

    // The discovered characteristic of that UUID in the service of that UUID; a later match
    // replaces an earlier one. Nothing before discovery has completed.
    static std::optional<BleCharacteristic> characteristicWithUUID(std::string_view characteristicUuid,
                                                                   std::string_view serviceUuid,
                                                                   const BlePeripheral& peripheral);

private:
    void centralManagerDidUpdateState() override;
    void centralManagerWillRestoreState(const std::vector<std::shared_ptr<BlePeripheral>>& peripherals) override;
    void centralManagerDidDiscoverPeripheral(const std::shared_ptr<BlePeripheral>& peripheral,
                                             const AdvertisementData& advertisement, int rssi) override;
    void centralManagerDidConnectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral) override;
    void centralManagerDidFailToConnectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral,
                                                  const std::string& error) override;
    void centralManagerDidDisconnectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral,
                                               const std::string& error) override;

    void peripheralDidDiscoverServices(BlePeripheral& peripheral, const std::string& error) override;
    void peripheralDidDiscoverCharacteristicsForService(BlePeripheral& peripheral, const BleService& service,
                                                        const std::string& error) override;
    void peripheralDidUpdateValueForCharacteristic(BlePeripheral& peripheral, const BleCharacteristic& characteristic,
                                                   std::span<const std::uint8_t> value,
                                                   const std::string& error) override;
    void peripheralDidUpdateNotificationStateForCharacteristic(BlePeripheral& peripheral,
                                                               const BleCharacteristic& characteristic,
                                                               const std::string& error) override;
    void peripheralDidReadRSSI(BlePeripheral& peripheral, int rssi, const std::string& error) override;

    // Bluetooth queue from here on.
    void queueScan();
    void scan();
    void listSensor(const std::string& key, int rssi);
    void connectSensor(const std::shared_ptr<BlePeripheral>& peripheral);
    bool isSensor(const BlePeripheral& peripheral) const;
    void setUpHeartRateService(BlePeripheral& peripheral, const BleService& service);
    void writePin(BlePeripheral& peripheral, const BleCharacteristic& controlPoint);
    void judgeLinkByPackets(const BlePeripheral& peripheral);
    void warnOutOfRange();

    BleCentralFactory& m_factory;
    Queue& m_bluetooth;
    Timers& m_timers;
    Log& m_log;
    SettingsStore& m_settings;
    Acquisition& m_acq;
    LinkOutlets& m_outlets;
    BTLEDevices m_devices;

    // Bluetooth queue only.
    std::unique_ptr<BleCentral> m_central;
    SensorDelegate* m_intake = nullptr;
    std::shared_ptr<BlePeripheral> m_sensorPeripheral;
    std::optional<CentralState> m_lastState;
    std::string m_connected; // "Connected: YES" or "NO", for the log
    std::int32_t m_outOfRangeShown = 0;
    bool m_listFullLogged = false;
    Timers::Id m_retryTimer = 0;
    bool m_stopped = false;
    bool m_disconnectAsked = false; // the disconnect button let the sensor go
    // ECG packets since the last 5-second read; -1 until a whole period of streaming has begun.
    int m_packetsSinceRead = -1;
    bool m_streaming = false; // the sensor's notifications are on
    bool m_noFigureLogged = false;
    int m_batteryTicksWaiting = 0; // 5-second ticks since an unanswered battery read

    // Main queue only: the key behind each button of the open sensor list.
    std::vector<std::string> m_sensorKeyList;
};

} // namespace velorin
