#include "sensor/qt/BleUuidText.h"
#include "sensor/qt/QtBleCentralFactory.h"

#include "fakes/FakeLog.h"

#include <QBluetoothLocalDevice>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

namespace velorin {
namespace {

// A Bluetooth queue that runs its tasks when the test says so, and knows when it is running one.
struct ManualQueue : Queue {
    void async(Task task) override
    {
        std::lock_guard lock(mutex);
        tasks.push_back(std::move(task));
    }
    // Lets the Qt thread work, then runs what reached the queue.
    void pump(int rounds = 20)
    {
        for (int i = 0; i < rounds; ++i) {
            QCoreApplication::processEvents();
            std::vector<Task> due;
            {
                std::lock_guard lock(mutex);
                due.swap(tasks);
            }
            running = true;
            for (auto& task : due)
                task();
            running = false;
        }
    }
    std::mutex mutex;
    std::vector<Task> tasks;
    bool running = false;
};

struct Recorder : CentralDelegate {
    explicit Recorder(ManualQueue& queue) : queue(queue) {}
    void centralManagerDidUpdateState() override { note("state " + std::to_string(int(central->state()))); }
    void centralManagerWillRestoreState(const std::vector<std::shared_ptr<BlePeripheral>>&) override { note("restore"); }
    void centralManagerDidDiscoverPeripheral(const std::shared_ptr<BlePeripheral>&, const AdvertisementData&, int) override
    {
        note("discover");
    }
    void centralManagerDidConnectPeripheral(const std::shared_ptr<BlePeripheral>&) override { note("connect"); }
    void centralManagerDidFailToConnectPeripheral(const std::shared_ptr<BlePeripheral>&, const std::string&) override
    {
        note("fail");
    }
    void centralManagerDidDisconnectPeripheral(const std::shared_ptr<BlePeripheral>&, const std::string&) override
    {
        note("disconnect");
    }
    void note(std::string line)
    {
        EXPECT_TRUE(queue.running) << line;
        lines.push_back(std::move(line));
    }
    ManualQueue& queue;
    BleCentral* central = nullptr;
    std::vector<std::string> lines;
};

TEST(QtBleCentral, WithoutAnAdapterTheCentralIsNotOnScansForNothingAndEndsAtOnce)
{
    if (!QBluetoothLocalDevice::allDevices().isEmpty())
        GTEST_SKIP() << "this machine has a Bluetooth adapter";
    FakeLog log;
    ManualQueue bluetooth;
    Recorder delegate(bluetooth);
    QtBleCentralFactory factory(log);
    auto central = factory.createCentral(delegate, bluetooth, "RestorationID");
    delegate.central = central.get();
    EXPECT_TRUE(delegate.lines.empty()); // not before the creating task has ended

    bluetooth.pump();
    ASSERT_EQ(delegate.lines.size(), 1u);
    EXPECT_TRUE(delegate.lines[0] == "state 2" || delegate.lines[0] == "state 4") << delegate.lines[0];

    central->scanForPeripherals();
    central->stopScan();
    central->scanForPeripherals();
    bluetooth.pump();
    EXPECT_EQ(delegate.lines.size(), 1u);
    EXPECT_LE(log.lines.size(), 1u);

    // Closed before its first report: nothing reaches the delegate afterwards.
    Recorder late(bluetooth);
    auto second = factory.createCentral(late, bluetooth, "RestorationID");
    late.central = second.get();
    second.reset();
    central.reset();
    bluetooth.pump();
    EXPECT_TRUE(late.lines.empty());
    EXPECT_EQ(delegate.lines.size(), 1u);
}

TEST(QtBleCentral, UuidsOfTheBaseRangeTakeTheirShortForm)
{
    EXPECT_EQ(bleUuidText(QBluetoothUuid(quint16(0x2A37))), "2A37");
    EXPECT_EQ(bleUuidText(QBluetoothUuid(QBluetoothUuid::ServiceClassUuid::BatteryService)), "180F");
    EXPECT_EQ(bleUuidText(QBluetoothUuid(QStringLiteral("{6e400001-b5a3-f393-e0a9-e50e24dcca9e}"))),
              "6E400001-B5A3-F393-E0A9-E50E24DCCA9E");
}

} // namespace
} // namespace velorin
