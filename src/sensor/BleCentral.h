#pragma once

#include "platform/Queue.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// The Bluetooth Low Energy central role, as the sensor link needs it. Implemented by the QtBluetooth
// adapter, the simulated Nimbo and the fakes of the tests.
//
// UUIDs are the 16-bit short forms in upper-case hex ("180D", "2A37"); a UUID outside the Bluetooth
// base range is given in its full 36-character form. Errors are texts, empty when there is none.
// Every delegate callback of the central and of its peripherals runs on the Bluetooth queue the
// central was created with, one at a time; the operations below may be called from any thread.

// The radio's state; the numbers are the ones the log and the tests speak of.
enum class CentralState { unknown = 0, resetting = 1, unsupported = 2, unauthorized = 3, poweredOff = 4, poweredOn = 5 };

enum class PeripheralState { disconnected, connecting, connected, disconnecting };

struct BleCharacteristic {
    std::string uuid;
    std::string serviceUuid;
    // Tells apart two characteristics of one UUID in one peripheral (the adapter's handle or index).
    int instance = 0;
    bool isNotifying = false;
};

struct BleService {
    std::string uuid;
    // Empty until the characteristics of this service have been discovered.
    std::vector<BleCharacteristic> characteristics;
};

class BlePeripheral;

class PeripheralDelegate {
public:
    virtual ~PeripheralDelegate() = default;
    virtual void peripheralDidDiscoverServices(BlePeripheral& peripheral, const std::string& error) = 0;
    virtual void peripheralDidDiscoverCharacteristicsForService(BlePeripheral& peripheral, const BleService& service,
                                                                const std::string& error) = 0;
    // A notification or the answer to a read. The value may be of any length, 0 to 512 bytes.
    virtual void peripheralDidUpdateValueForCharacteristic(BlePeripheral& peripheral,
                                                           const BleCharacteristic& characteristic,
                                                           std::span<const std::uint8_t> value,
                                                           const std::string& error) = 0;
    virtual void peripheralDidUpdateNotificationStateForCharacteristic(BlePeripheral& peripheral,
                                                                       const BleCharacteristic& characteristic,
                                                                       const std::string& error) = 0;
    // The answer to readRSSI: the signal strength in whole dBm.
    virtual void peripheralDidReadRSSI(BlePeripheral& peripheral, int rssi, const std::string& error) = 0;
};

// One remote device. Shared between the central and whoever holds on to it; the object stays valid
// (and keeps its identifier) after the link is gone.
class BlePeripheral {
public:
    virtual ~BlePeripheral() = default;
    // The platform's identifier of this device as a UUID string; the same in every run.
    virtual std::string identifier() const = 0;
    // The device's name as the platform knows it (may be empty).
    virtual std::string name() const = 0;
    virtual PeripheralState state() const = 0;
    // Null stops the callbacks. The delegate must outlive the peripheral or be reset first.
    virtual void setDelegate(PeripheralDelegate* delegate) = 0;

    // All services, no filter; the answer is peripheralDidDiscoverServices.
    virtual void discoverServices() = 0;
    // The services discovered so far, in the platform's order, with their discovered characteristics.
    virtual std::vector<BleService> services() const = 0;
    // All characteristics of one discovered service; the answer is peripheralDidDiscoverCharacteristicsForService.
    virtual void discoverCharacteristics(const std::string& serviceUuid) = 0;
    virtual void setNotifyValue(bool enabled, const BleCharacteristic& characteristic) = 0;
    virtual void readValue(const BleCharacteristic& characteristic) = 0;
    // Write with response; the answer is not reported to the delegate.
    virtual void writeValue(std::span<const std::uint8_t> value, const BleCharacteristic& characteristic) = 0;
    virtual void readRSSI() = 0;
    // False where the platform cannot read the strength of a live link (BlueZ through Qt 6.4): the
    // link is then judged by the ECG packets that arrive instead.
    virtual bool readsLiveRssi() const { return true; }
};

struct AdvertisementData {
    // The advertised local name; nullopt when the advertisement carries none.
    std::optional<std::string> localName;
};

class CentralDelegate {
public:
    virtual ~CentralDelegate() = default;
    virtual void centralManagerDidUpdateState() = 0;
    // The platform hands back peripherals it kept for us (possibly none).
    virtual void centralManagerWillRestoreState(const std::vector<std::shared_ptr<BlePeripheral>>& peripherals) = 0;
    virtual void centralManagerDidDiscoverPeripheral(const std::shared_ptr<BlePeripheral>& peripheral,
                                                     const AdvertisementData& advertisement, int rssi) = 0;
    virtual void centralManagerDidConnectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral) = 0;
    virtual void centralManagerDidFailToConnectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral,
                                                          const std::string& error) = 0;
    virtual void centralManagerDidDisconnectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral,
                                                       const std::string& error) = 0;
};

class BleCentral {
public:
    virtual ~BleCentral() = default;
    virtual CentralState state() const = 0;
    // No service filter and no duplicates: each device is reported once per scan.
    virtual void scanForPeripherals() = 0;
    virtual void stopScan() = 0;
    virtual void connectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral) = 0;
    virtual void cancelPeripheralConnection(const std::shared_ptr<BlePeripheral>& peripheral) = 0;
};

// Creates the one central of a monitor load. Its delegate callbacks run on bluetoothQueue; the first
// is the state (and a restoration, when the platform has peripherals to hand back). The delegate
// outlives the central.
class BleCentralFactory {
public:
    virtual ~BleCentralFactory() = default;
    virtual std::unique_ptr<BleCentral> createCentral(CentralDelegate& delegate, Queue& bluetoothQueue,
                                                      std::string_view restoreIdentifier) = 0;
};

} // namespace velorin
