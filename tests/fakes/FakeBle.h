#pragma once

#include "platform/Queue.h"
#include "sensor/BleCentral.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

inline std::string hexBytes(std::span<const std::uint8_t> bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : bytes) {
        if (!text.empty())
            text.push_back(' ');
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 0x0F]);
    }
    return text;
}

// A device the test builds service by service. It records every request; discovery and
// subscriptions are answered on the Bluetooth queue as a sensor would, reads and signal strength
// only when the test delivers them.
class FakePeripheral : public BlePeripheral {
public:
    FakePeripheral(Queue& bluetooth, std::string identifier, std::string name = "Nimbo")
        : m_bluetooth(bluetooth), m_identifier(std::move(identifier)), m_name(std::move(name))
    {
    }

    // Characteristics in the order the device lists them.
    FakePeripheral& offer(const std::string& service, const std::vector<std::string>& characteristics)
    {
        BleService s{service, {}};
        for (const auto& uuid : characteristics)
            s.characteristics.push_back({uuid, service, 0, false});
        offered.push_back(s);
        return *this;
    }
    // The three services of a Nimbo.
    FakePeripheral& offerNimbo()
    {
        return offer("180D", {"2A39", "2A37", "2A38"}).offer("180A", {"2A29"}).offer("180F", {"2A19"});
    }

    std::string identifier() const override { return m_identifier; }
    std::string name() const override { return m_name; }
    PeripheralState state() const override { return peripheralState; }
    void setDelegate(PeripheralDelegate* d) override { delegate = d; }

    void discoverServices() override
    {
        calls.push_back("discoverServices");
        m_bluetooth.async([this] {
            discovered.clear();
            for (const BleService& s : offered)
                discovered.push_back({s.uuid, {}});
            if (delegate)
                delegate->peripheralDidDiscoverServices(*this, "");
        });
    }
    std::vector<BleService> services() const override { return discovered; }
    void discoverCharacteristics(const std::string& serviceUuid) override
    {
        calls.push_back("discoverCharacteristics " + serviceUuid);
        m_bluetooth.async([this, serviceUuid] {
            for (std::size_t i = 0; i < discovered.size() && i < offered.size(); ++i) {
                if (discovered[i].uuid != serviceUuid)
                    continue;
                discovered[i].characteristics = offered[i].characteristics;
                if (delegate)
                    delegate->peripheralDidDiscoverCharacteristicsForService(*this, discovered[i], "");
            }
        });
    }
    void setNotifyValue(bool enabled, const BleCharacteristic& c) override
    {
        calls.push_back("notify " + c.uuid);
        m_bluetooth.async([this, enabled, c] {
            BleCharacteristic now = c;
            now.isNotifying = enabled;
            if (delegate)
                delegate->peripheralDidUpdateNotificationStateForCharacteristic(*this, now, "");
        });
    }
    void readValue(const BleCharacteristic& c) override { calls.push_back("read " + c.uuid); }
    void writeValue(std::span<const std::uint8_t> value, const BleCharacteristic& c) override
    {
        calls.push_back("write " + c.uuid + " " + hexBytes(value));
    }
    void readRSSI() override { calls.push_back("readRSSI"); }
    bool readsLiveRssi() const override { return true; }

    // Deliveries from the device, on the Bluetooth queue.
    void notify(const std::string& uuid, std::vector<std::uint8_t> value)
    {
        m_bluetooth.async([this, uuid, value] {
            if (delegate)
                delegate->peripheralDidUpdateValueForCharacteristic(*this, {uuid, "", 0, true}, value, "");
        });
    }

    std::size_t count(const std::string& call) const { return std::count(calls.begin(), calls.end(), call); }

    std::vector<BleService> offered, discovered;
    std::vector<std::string> calls;
    PeripheralState peripheralState = PeripheralState::disconnected;
    PeripheralDelegate* delegate = nullptr;

private:
    Queue& m_bluetooth;
    std::string m_identifier, m_name;
};

// A central that records its requests. Connections succeed on the Bluetooth queue; cancelling one
// reports the disconnection.
class FakeCentral : public BleCentral {
public:
    FakeCentral(CentralDelegate& delegate, Queue& bluetooth, CentralState radio)
        : m_delegate(delegate), m_bluetooth(bluetooth), radio(radio)
    {
    }

    CentralState state() const override { return radio; }
    void scanForPeripherals() override { calls.push_back("scan"); }
    void stopScan() override { calls.push_back("stopScan"); }
    void connectPeripheral(const std::shared_ptr<BlePeripheral>& p) override
    {
        calls.push_back("connect " + p->identifier());
        auto fake = std::static_pointer_cast<FakePeripheral>(p);
        fake->peripheralState = PeripheralState::connecting;
        m_bluetooth.async([this, fake] {
            fake->peripheralState = PeripheralState::connected;
            m_delegate.centralManagerDidConnectPeripheral(fake);
        });
    }
    void cancelPeripheralConnection(const std::shared_ptr<BlePeripheral>& p) override
    {
        calls.push_back("cancel " + p->identifier());
        drop(std::static_pointer_cast<FakePeripheral>(p), "");
    }

    // Events of the radio and the air, delivered on the Bluetooth queue.
    void setRadio(CentralState s)
    {
        m_bluetooth.async([this, s] {
            radio = s;
            m_delegate.centralManagerDidUpdateState();
        });
    }
    void advertise(const std::shared_ptr<FakePeripheral>& p, std::optional<std::string> localName, int rssi = -60)
    {
        m_bluetooth.async([this, p, localName, rssi] {
            m_delegate.centralManagerDidDiscoverPeripheral(p, AdvertisementData{localName}, rssi);
        });
    }
    void drop(const std::shared_ptr<FakePeripheral>& p, std::string error = "The link timed out")
    {
        m_bluetooth.async([this, p, error] {
            p->peripheralState = PeripheralState::disconnected;
            m_delegate.centralManagerDidDisconnectPeripheral(p, error);
        });
    }
    std::size_t count(const std::string& call) const { return std::count(calls.begin(), calls.end(), call); }

    std::vector<std::string> calls;

private:
    CentralDelegate& m_delegate;
    Queue& m_bluetooth;

public:
    CentralState radio;
};

// Makes one FakeCentral; its first callback is the state.
class FakeCentralFactory : public BleCentralFactory {
public:
    std::unique_ptr<BleCentral> createCentral(CentralDelegate& delegate, Queue& bluetooth,
                                              std::string_view) override
    {
        auto made = std::make_unique<FakeCentral>(delegate, bluetooth, CentralState::poweredOn);
        central = made.get();
        bluetooth.async([&delegate] { delegate.centralManagerDidUpdateState(); });
        return made;
    }

    FakeCentral* central = nullptr;
};

} // namespace velorin
