#include "sensor/sim/SimulatedCentralFactory.h"

#include "fakes/FakeLog.h"
#include "platform/virtual/VirtualRuntime.h"
#include "sensor/SensorProfile.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

// A minimal link: connects the sensor it finds, turns its notifications on, and scans again after a
// disconnection. Every other callback is noted, to see that none comes when none may.
struct Link : CentralDelegate, PeripheralDelegate {
    void centralManagerDidUpdateState() override { note("state"); }
    void centralManagerWillRestoreState(const std::vector<std::shared_ptr<BlePeripheral>>&) override { note("restore"); }
    void centralManagerDidDiscoverPeripheral(const std::shared_ptr<BlePeripheral>& p, const AdvertisementData& ad,
                                             int) override
    {
        note("discover");
        if (ad.localName == profile::localName) {
            sensor = p;
            central->connectPeripheral(p);
        }
    }
    void centralManagerDidConnectPeripheral(const std::shared_ptr<BlePeripheral>& p) override
    {
        p->setDelegate(this);
        p->discoverServices();
    }
    void centralManagerDidFailToConnectPeripheral(const std::shared_ptr<BlePeripheral>&, const std::string&) override
    {
        note("fail");
    }
    void centralManagerDidDisconnectPeripheral(const std::shared_ptr<BlePeripheral>&, const std::string&) override
    {
        note("disconnect");
        central->scanForPeripherals();
    }
    void peripheralDidDiscoverServices(BlePeripheral& p, const std::string&) override
    {
        note("services");
        for (const auto& service : p.services())
            p.discoverCharacteristics(service.uuid);
    }
    void peripheralDidDiscoverCharacteristicsForService(BlePeripheral& p, const BleService& service,
                                                        const std::string&) override
    {
        note("characteristics");
        for (const auto& c : service.characteristics)
            if (c.uuid == profile::ecgPacket) {
                ecg = c;
                p.setNotifyValue(true, c);
            }
    }
    void peripheralDidUpdateValueForCharacteristic(BlePeripheral&, const BleCharacteristic&,
                                                   std::span<const std::uint8_t>, const std::string&) override
    {
        ++packets;
    }
    void peripheralDidUpdateNotificationStateForCharacteristic(BlePeripheral&, const BleCharacteristic&,
                                                               const std::string&) override
    {
        note("notify");
    }
    void peripheralDidReadRSSI(BlePeripheral&, int, const std::string&) override { note("rssi"); }

    void note(std::string line) { lines.push_back(std::move(line)); }

    BleCentral* central = nullptr;
    std::shared_ptr<BlePeripheral> sensor;
    BleCharacteristic ecg;
    std::vector<std::string> lines;
    std::size_t packets = 0;
};

// The simulated sensor stands in for the real one in the demo and in every end-to-end run, where its
// profile, faults and packets are met through the recorder; here, a sensor kept past its central.
struct SimulatedCentralTest : testing::Test {
    SimulatedCentralTest() : factory(runtime.timers(), log, {})
    {
        central = factory.createCentral(link, runtime.bluetoothQueue(), "RestorationID");
        link.central = central.get();
        central->scanForPeripherals();
        runtime.runFor(1.0);
        link.lines.clear();
    }

    VirtualRuntime runtime{1000.0};
    FakeLog log;
    SimulatedCentralFactory factory;
    Link link;
    std::unique_ptr<BleCentral> central;
};

TEST_F(SimulatedCentralTest, ASensorOutlivingItsCentralAnswersNothing)
{
    ASSERT_TRUE(link.sensor);
    const auto sensor = link.sensor;
    central.reset();
    link.packets = 0;
    sensor->readRSSI();
    sensor->setNotifyValue(true, link.ecg);
    sensor->discoverServices();
    factory.dropLink(0);
    runtime.runFor(5.0);
    EXPECT_TRUE(link.lines.empty());
    EXPECT_EQ(link.packets, 0u);
    EXPECT_EQ(sensor->state(), PeripheralState::disconnected);
    EXPECT_TRUE(sensor->services().empty());
    EXPECT_EQ(runtime.pendingCount(), 0u);
}

} // namespace
} // namespace velorin
