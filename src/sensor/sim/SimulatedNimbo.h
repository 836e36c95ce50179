#pragma once

#include "sensor/BleCentral.h"
#include "sensor/sim/SimulatedCentral.h"
#include "sensor/sim/SyntheticPackets.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

// One simulated sensor as its central sees it: the Heart Rate service 180D (2A37 notify, 2A38 read,
// 2A39 write), Device Information 180A (2A29 read) and Battery 180F (2A19 read). Once 2A37 notifies it
// sends a synthetic ECG packet every 0.112 s; every write is logged as "sim write UUID HEX".
//
// Operations hop onto the Bluetooth queue through the central and do nothing unless connected; the
// link itself (connecting, breaking, range) is the central's to change, on the Bluetooth queue.
class SimulatedNimbo : public BlePeripheral, public std::enable_shared_from_this<SimulatedNimbo> {
public:
    SimulatedNimbo(std::shared_ptr<SimulatedCentral> central, std::string identifier,
                   std::optional<std::string> localName, int rssi, SyntheticPackets packets);

    std::string identifier() const override { return m_identifier; }
    std::string name() const override { return m_localName.value_or(std::string()); }
    PeripheralState state() const override;
    void setDelegate(PeripheralDelegate* delegate) override;
    void discoverServices() override;
    std::vector<BleService> services() const override;
    void discoverCharacteristics(const std::string& serviceUuid) override;
    void setNotifyValue(bool enabled, const BleCharacteristic& characteristic) override;
    void readValue(const BleCharacteristic& characteristic) override;
    void writeValue(std::span<const std::uint8_t> value, const BleCharacteristic& characteristic) override;
    void readRSSI() override;

    // The central's side, on the Bluetooth queue under the central's lock.
    const SimulatedCentral* central() const { return m_central.get(); }
    const std::optional<std::string>& localName() const { return m_localName; }
    PeripheralState linkState() const { return m_state; }
    // Counts link changes, so that an answer or a connection meant for an earlier link does nothing.
    std::uint64_t link() const { return m_link; }
    void beginConnecting();
    void linkUp() { m_state = PeripheralState::connected; }
    // Back to disconnected: discovered services, notifications and the stream end.
    void linkDown();

    // What the faults change.
    struct Conditions {
        int rssi = 0;
        bool away = false;
        bool refuseNext = false;
        bool shortNext = false;
        SimulatedCentral::TimerKey returnTimer = 0;
    };
    Conditions& conditions() { return m_conditions; }
    SyntheticPackets& packets() { return m_packets; }

private:
    struct Attribute {
        std::string_view service;
        std::string_view characteristic;
    };
    static const std::vector<Attribute>& profileAttributes();

    // Runs the task on the Bluetooth queue while the link it was asked on is still up.
    void whileLinked(std::function<void(PeripheralDelegate*)> task);
    bool discovered(const BleCharacteristic& characteristic) const;
    BleCharacteristic withState(BleCharacteristic characteristic) const;
    std::vector<std::uint8_t> readAnswer(const std::string& uuid) const;
    void sendPacket();

    const std::shared_ptr<SimulatedCentral> m_central;
    const std::string m_identifier;
    const std::optional<std::string> m_localName;

    // Under the central's lock.
    PeripheralDelegate* m_delegate = nullptr;
    PeripheralState m_state = PeripheralState::disconnected;
    std::uint64_t m_link = 0;
    std::vector<BleService> m_services;
    bool m_notifying = false;
    SimulatedCentral::TimerKey m_stream = 0;
    Conditions m_conditions;
    SyntheticPackets m_packets;
};

} // namespace velorin
