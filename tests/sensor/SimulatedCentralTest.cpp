#include "sensor/sim/SimulatedCentralFactory.h"

#include "fakes/FakeLog.h"
#include "platform/virtual/VirtualRuntime.h"
#include "sensor/SensorProfile.h"
#include "sensor/sim/SyntheticPackets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace velorin {
using namespace std::chrono_literals;
namespace {

// Records every callback as a line; optionally behaves as a minimal link: connects the sensors it
// finds, sets them up (services, characteristics, pin write, notifications) and scans again after a
// disconnection.
struct Link : CentralDelegate, PeripheralDelegate {
    void centralManagerDidUpdateState() override { note("state " + std::to_string(int(central->state()))); }
    void centralManagerWillRestoreState(const std::vector<std::shared_ptr<BlePeripheral>>&) override { note("restore"); }
    void centralManagerDidDiscoverPeripheral(const std::shared_ptr<BlePeripheral>& p, const AdvertisementData& ad,
                                             int rssi) override
    {
        found.push_back(p);
        note("discover " + ad.localName.value_or("-") + " " + std::to_string(rssi));
        if (autoConnect && ad.localName == profile::localName)
            central->connectPeripheral(p);
    }
    void centralManagerDidConnectPeripheral(const std::shared_ptr<BlePeripheral>& p) override
    {
        note("connect " + p->name());
        p->setDelegate(this);
        if (autoConnect)
            p->discoverServices();
    }
    void centralManagerDidFailToConnectPeripheral(const std::shared_ptr<BlePeripheral>& p,
                                                  const std::string& error) override
    {
        note("fail " + p->name() + ": " + error);
    }
    void centralManagerDidDisconnectPeripheral(const std::shared_ptr<BlePeripheral>& p, const std::string& error) override
    {
        note("disconnect " + p->name() + ": " + error);
        if (autoConnect)
            central->scanForPeripherals();
    }
    void peripheralDidDiscoverServices(BlePeripheral& p, const std::string&) override
    {
        std::string line = "services";
        for (const auto& service : p.services()) {
            line += " " + service.uuid;
            if (autoConnect)
                p.discoverCharacteristics(service.uuid);
        }
        note(line);
    }
    void peripheralDidDiscoverCharacteristicsForService(BlePeripheral& p, const BleService& service,
                                                        const std::string&) override
    {
        std::string line = "characteristics " + service.uuid;
        for (const auto& c : service.characteristics) {
            line += " " + c.uuid;
            if (autoConnect && c.uuid == profile::ecgPacket)
                p.setNotifyValue(true, c);
            if (autoConnect && c.uuid == profile::controlPoint) {
                const std::string value = profile::controlPointValue("1234");
                p.writeValue(std::span(reinterpret_cast<const std::uint8_t*>(value.data()), value.size()), c);
            }
        }
        note(line);
    }
    void peripheralDidUpdateValueForCharacteristic(BlePeripheral&, const BleCharacteristic& c,
                                                   std::span<const std::uint8_t> value,
                                                   const std::string& error) override
    {
        if (c.uuid == profile::ecgPacket && error.empty()) {
            packets.emplace_back(value.begin(), value.end());
            return;
        }
        std::string line = "value " + c.uuid;
        for (auto byte : value)
            line += " " + std::to_string(byte);
        note(error.empty() ? line : line + ": " + error);
    }
    void peripheralDidUpdateNotificationStateForCharacteristic(BlePeripheral&, const BleCharacteristic& c,
                                                               const std::string& error) override
    {
        note("notify " + c.uuid + (c.isNotifying ? " on" : " off") + error);
    }
    void peripheralDidReadRSSI(BlePeripheral&, int rssi, const std::string&) override
    {
        note("rssi " + std::to_string(rssi));
    }

    void note(std::string line) { lines.push_back(std::move(line)); }
    std::vector<std::string> take() { return std::exchange(lines, {}); }
    BleCharacteristic characteristic(const std::string& uuid) const
    {
        for (const auto& service : found.at(sensorIndex)->services())
            for (const auto& c : service.characteristics)
                if (c.uuid == uuid)
                    return c;
        return {};
    }
    std::shared_ptr<BlePeripheral> sensor() const { return found.at(sensorIndex); }

    BleCentral* central = nullptr;
    bool autoConnect = false;
    std::size_t sensorIndex = 1; // the decoy "nimbo" comes first
    std::vector<std::string> lines;
    std::vector<std::shared_ptr<BlePeripheral>> found;
    std::vector<std::vector<std::uint8_t>> packets;
};

struct SimulatedCentralTest : testing::Test {
    explicit SimulatedCentralTest(SimulatedNimboOptions options = {}) : factory(runtime.timers(), log, options)
    {
        central = factory.createCentral(link, runtime.bluetoothQueue(), "RestorationID");
        link.central = central.get();
        runtime.runPending();
    }
    // Scans, connects the first sensor and turns its notifications on.
    void streamFromSensor()
    {
        link.autoConnect = true;
        central->scanForPeripherals();
        runtime.runFor(1.0);
        link.take();
    }

    VirtualRuntime runtime{1000.0};
    FakeLog log;
    SimulatedCentralFactory factory;
    Link link;
    std::unique_ptr<BleCentral> central;
};

struct TwoSensors : SimulatedCentralTest {
    TwoSensors() : SimulatedCentralTest({.sensors = 2}) {}
};

TEST_F(TwoSensors, EachScanReportsEveryAdvertiserOnceUnderFixedIdentifiers)
{
    EXPECT_EQ(link.take(), std::vector<std::string>{"state 5"});
    central->scanForPeripherals();
    runtime.runFor(0.2);
    EXPECT_TRUE(link.lines.empty());
    runtime.runFor(30.0);
    const std::vector<std::string> reported{"discover nimbo -70", "discover Nimbo -60", "discover Nimbo -64",
                                            "discover Nimbo2 -75", "discover - -82"};
    EXPECT_EQ(link.take(), reported);

    // A new scan reports the same devices again, by the same objects; ids stay apart. (That another
    // run knows them by the same ids shows in the recorder's end-to-end run remembering its choice.)
    central->scanForPeripherals();
    runtime.runFor(1.0);
    EXPECT_EQ(link.take(), reported);
    EXPECT_EQ(link.found[6], link.found[1]);
    std::set<std::string> ids;
    for (const auto& p : link.found)
        ids.insert(p->identifier());
    EXPECT_EQ(ids.size(), 5u);
}

TEST_F(SimulatedCentralTest, AConnectedSensorOffersItsProfileAndStreamsOnlyOnceNotifying)
{
    central->scanForPeripherals();
    runtime.runFor(1.0);
    central->connectPeripheral(link.sensor());
    runtime.runFor(1.0);
    auto sensor = link.sensor();
    sensor->discoverServices();
    runtime.runPending();
    for (const char* service : {"180D", "180A", "180F"})
        sensor->discoverCharacteristics(service);
    runtime.runFor(5.0);
    EXPECT_EQ(link.take(), (std::vector<std::string>{"state 5", "discover nimbo -70", "discover Nimbo -60",
                                                     "discover Nimbo2 -75", "discover - -82", "connect Nimbo", "services 180D 180A 180F",
                                                     "characteristics 180D 2A37 2A38 2A39",
                                                     "characteristics 180A 2A29", "characteristics 180F 2A19"}));
    EXPECT_TRUE(link.packets.empty());

    for (const char* uuid : {"2A19", "2A38", "2A29", "2A37"})
        sensor->readValue(link.characteristic(uuid));
    sensor->readRSSI();
    const std::vector<std::uint8_t> pin{0x07, 0x04, '1', '2', '3', '4'};
    sensor->writeValue(pin, link.characteristic("2A39"));
    runtime.runPending();
    EXPECT_EQ(link.take(), (std::vector<std::string>{"value 2A19 87", "value 2A38 1",
                                                     "value 2A29 78 105 109 98 111 32 83 105 109 117 108 97 116 111 114",
                                                     "value 2A37: Reading is not permitted", "rssi -60"}));
    EXPECT_EQ(log.lines, std::vector<std::string>{"sim write 2A39 07 04 31 32 33 34"});

    sensor->setNotifyValue(true, link.characteristic("2A37"));
    runtime.runFor(1.0);
    EXPECT_EQ(link.take(), std::vector<std::string>{"notify 2A37 on"});
    EXPECT_TRUE(link.characteristic("2A37").isNotifying);
    ASSERT_EQ(link.packets.size(), 9u); // at once, then every 0.112 s
    SyntheticPackets reference(72, 87, 1);
    for (const auto& packet : link.packets) {
        const auto expected = reference.nextPacket();
        EXPECT_TRUE(std::equal(packet.begin(), packet.end(), expected.begin(), expected.end()));
    }
    sensor->setNotifyValue(false, link.characteristic("2A37"));
    runtime.runFor(1.0);
    EXPECT_EQ(link.packets.size(), 9u);
}

TEST_F(SimulatedCentralTest, FaultsOfTheLinkTheRangeAndTheRadio)
{
    streamFromSensor();
    const auto sensor = link.sensor();

    // A short packet on demand, then the full ones again.
    factory.sendShortPacket(0);
    factory.setBatteryLevel(0, 15);
    factory.setBatteryLevel(7, 15); // no such sensor: ignored
    runtime.runPending();
    link.packets.clear();
    runtime.runFor(0.3);
    ASSERT_GE(link.packets.size(), 2u);
    EXPECT_EQ(link.packets[0].size(), 10u);
    EXPECT_EQ(link.packets[1].size(), 20u);
    sensor->readValue(link.characteristic("2A19"));
    runtime.runPending();
    EXPECT_EQ(link.take(), std::vector<std::string>{"value 2A19 15"});

    factory.dropLink(0);
    runtime.runPending();
    const std::size_t packets = link.packets.size();
    EXPECT_EQ(link.take(), std::vector<std::string>{"disconnect Nimbo: The link to the sensor was lost"});
    EXPECT_EQ(sensor->state(), PeripheralState::disconnected);
    sensor->readRSSI(); // a disconnected sensor answers nothing
    sensor->readValue(link.characteristic("2A19"));
    runtime.runFor(1.0); // the link scans again and reconnects
    EXPECT_EQ(link.take().at(4), "connect Nimbo");

    // Away: the link breaks, scans miss the sensor, a connection waits for it to come back.
    link.autoConnect = false;
    factory.goOutOfRange(0, 30s);
    runtime.runPending();
    EXPECT_EQ(link.take(), std::vector<std::string>{"disconnect Nimbo: The sensor is out of range"});
    central->scanForPeripherals();
    central->connectPeripheral(sensor);
    runtime.runFor(29.0);
    EXPECT_EQ(link.take(), (std::vector<std::string>{"discover nimbo -70", "discover Nimbo2 -75", "discover - -82"}));
    runtime.runFor(1.5);
    EXPECT_EQ(link.take(), std::vector<std::string>{"connect Nimbo"});

    central->stopScan();
    factory.refuseNextConnection(0);
    central->cancelPeripheralConnection(sensor);
    runtime.runPending();
    central->connectPeripheral(sensor);
    runtime.runFor(1.0);
    central->connectPeripheral(sensor);
    runtime.runFor(1.0);
    EXPECT_EQ(link.take(), (std::vector<std::string>{"disconnect Nimbo: ", "fail Nimbo: The sensor refused the connection",
                                                     "connect Nimbo"}));

    // Radio off: the state, the link ends, scanning and connecting do nothing until it is back on.
    factory.setRadioPowered(false);
    runtime.runPending();
    central->scanForPeripherals();
    central->connectPeripheral(sensor);
    runtime.runFor(5.0);
    EXPECT_EQ(link.take(), (std::vector<std::string>{"state 4", "disconnect Nimbo: Bluetooth is powered off"}));
    EXPECT_EQ(central->state(), CentralState::poweredOff);
    factory.setRadioPowered(true);
    factory.setSignalStrength(0, -90);
    runtime.runPending();
    central->scanForPeripherals();
    runtime.runFor(1.0);
    EXPECT_EQ(link.take(), (std::vector<std::string>{"state 5", "discover nimbo -70", "discover Nimbo -90",
                                                     "discover Nimbo2 -75", "discover - -82"}));
    EXPECT_GT(packets, 0u);
}

TEST_F(SimulatedCentralTest, AnHourOfDropsEveryFiveSecondsLeavesNothingBehind)
{
    streamFromSensor();
    std::size_t most = 0;
    for (int i = 0; i < 720; ++i) {
        factory.dropLink(0);
        for (int step = 0; step < 50; ++step) {
            runtime.runFor(0.1);
            most = std::max(most, runtime.pendingCount());
        }
    }
    EXPECT_LE(most, 6u);
    const auto lines = link.take();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "connect Nimbo"), 720);
    EXPECT_GT(link.packets.size(), 720u * 40);
}

TEST_F(SimulatedCentralTest, ASensorOutlivingItsCentralAnswersNothing)
{
    streamFromSensor();
    const auto sensor = link.sensor();
    const auto ecg = link.characteristic("2A37");
    central.reset();
    link.packets.clear();
    sensor->readRSSI();
    sensor->setNotifyValue(true, ecg);
    sensor->discoverServices();
    factory.dropLink(0);
    runtime.runFor(5.0);
    EXPECT_TRUE(link.lines.empty());
    EXPECT_TRUE(link.packets.empty());
    EXPECT_EQ(sensor->state(), PeripheralState::disconnected);
    EXPECT_TRUE(sensor->services().empty());
    EXPECT_EQ(runtime.pendingCount(), 0u);
}

} // namespace
} // namespace velorin
