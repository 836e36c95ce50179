#include "../fakes/FakeBle.h"
#include "../fakes/FakeLog.h"
#include "../fakes/MemoryFiles.h"
#include "platform/virtual/VirtualRuntime.h"
#include "sensor/LinkOutlets.h"
#include "sensor/SensorLink.h"
#include "sensor/SensorProfile.h"
#include "settings/SettingsStore.h"
#include "signal/Acquisition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace velorin {
namespace {

using Calls = std::vector<std::string>;

struct RecordedOutlets : LinkOutlets {
    void showRadioUnavailable() override { calls.push_back("unavailable"); }
    void showRadioOff() override { calls.push_back("off"); }
    void showSensorTakenUp(const std::string& name) override { calls.push_back("taken up " + name); }
    void showSensorDisconnected(bool byUser) override { calls.push_back(byUser ? "disconnected by user" : "disconnected"); }
    void disableDisconnect() override { calls.push_back("disable disconnect"); }
    void showOutOfRange() override { calls.push_back("out of range"); }
    Calls calls;
};

struct RecordedIntake : SensorDelegate {
    void peripheralDidUpdateValueForCharacteristic(std::string_view c, std::span<const std::uint8_t> value,
                                                   std::string_view) override
    {
        updates.push_back(std::string(c) + ":" + std::to_string(value.size()));
    }
    Calls updates;
};

constexpr const char* sensorId = "4F2C8A1B-0D3E-4C55-9A7B-1E2D3C4B5A69";

struct LinkRig {
    VirtualRuntime runtime;
    FakeLog log;
    MemoryFiles files;
    SettingsStore settings{files, log, "/config/settings.json"};
    Acquisition acq;
    RecordedOutlets outlets;
    RecordedIntake intake;
    FakeCentralFactory factory;
    SensorLink link{factory, runtime.bluetoothQueue(), runtime.timers(), log, settings, acq, outlets};
    // Offers the three services of a Nimbo unless a test clears them.
    std::shared_ptr<FakePeripheral> nimbo = [this] {
        auto p = std::make_shared<FakePeripheral>(runtime.bluetoothQueue(), sensorId);
        p->offerNimbo();
        return p;
    }();

    LinkRig& start(std::string chosen = "", std::string pin = "")
    {
        acq.chosenSensorId = std::move(chosen);
        acq.sensorPin = std::move(pin);
        link.start(intake);
        runtime.runPending();
        return *this;
    }
    FakeCentral& central() { return *factory.central; }
    void advertise(const std::shared_ptr<FakePeripheral>& p, std::optional<std::string> name = "Nimbo", int rssi = -60)
    {
        central().advertise(p, std::move(name), rssi);
        runtime.runPending();
    }
    void onMain(std::function<void()> action)
    {
        runtime.mainQueue().async(std::move(action));
        runtime.runPending();
    }
};

TEST(SensorLink, PinWriteComesInTheSensorsOrderAndNeverCut)
{
    auto setUp = [](std::vector<std::string> order, std::string pin) {
        LinkRig rig;
        rig.nimbo->offered.clear();
        rig.nimbo->offer("180D", order);
        rig.start(sensorId, pin).advertise(rig.nimbo);
        Calls relevant;
        for (const auto& c : rig.nimbo->calls)
            if (c.starts_with("write") || c.starts_with("notify"))
                relevant.push_back(c);
        return std::pair(relevant, rig.log.contains("not written"));
    };
    EXPECT_EQ(setUp({"2A37", "2A39"}, "").first, (Calls{"notify 2A37", "write 2A39 07 04"}));
    EXPECT_EQ(setUp({"2A39", "2A37"}, "\xC3\xA9\x01").first, (Calls{"write 2A39 07 04 c3 a9 01", "notify 2A37"}));
    EXPECT_EQ(setUp({"2A39"}, std::string(18, '9')).first.size(), 1u);
    const auto tooLong = setUp({"2A39", "2A37"}, std::string(19, '9'));
    EXPECT_EQ(tooLong.first, Calls{"notify 2A37"});
    EXPECT_TRUE(tooLong.second);
}

// The list's bound shows in the Bluetooth run's crowd; here, that one entry per device is made
// however often it advertises, and that a chosen sensor connects in a flood.
TEST(SensorLink, OneEntryPerDeviceAndAChosenSensorConnectsInAFlood)
{
    LinkRig rig;
    rig.start();
    for (int i = 0; i < 3000; ++i)
        rig.central().advertise(rig.nimbo, "Nimbo", -60 - i % 30);
    rig.runtime.runPending();
    ASSERT_EQ(rig.link.devices().entries().size(), 1u);
    EXPECT_TRUE(rig.link.devices().entries()[0].label.ends_with("  -60dB")); // made at the first sighting
    EXPECT_EQ(rig.central().count(std::string("connect ") + sensorId), 0u); // nobody chose it in this run

    LinkRig flooded;
    flooded.start(sensorId);
    for (int i = 0; i < 1000; ++i) {
        char id[40];
        std::snprintf(id, sizeof id, "0A1B2C3D-4E5F-6071-8293-%012d", i);
        flooded.central().advertise(std::make_shared<FakePeripheral>(flooded.runtime.bluetoothQueue(), id), "Nimbo");
    }
    flooded.advertise(flooded.nimbo);
    EXPECT_EQ(flooded.link.devices().size(), SensorLink::mostListedSensors + 1);
    EXPECT_EQ(flooded.link.devices().entries().back().key, sensorId);
    EXPECT_EQ(flooded.central().count(std::string("connect ") + sensorId), 1u);
}

TEST(SensorLink, ReconnectsAfterEveryDropUntilClosing)
{
    LinkRig rig;
    rig.start(sensorId);
    rig.advertise(rig.nimbo);
    // An hour of drops every few seconds: each is followed by a scan and a full set-up.
    for (int i = 0; i < 1200; ++i) {
        rig.central().drop(rig.nimbo);
        rig.runtime.runFor(1.0);
        rig.advertise(rig.nimbo);
        rig.runtime.runFor(2.0);
    }
    EXPECT_EQ(rig.central().count(std::string("connect ") + sensorId), 1201u);
    EXPECT_EQ(rig.nimbo->count("write 2A39 07 04"), 1201u);
    EXPECT_EQ(rig.runtime.pendingCount(), 0u);

    // The disconnect button's end (no pin written again after it) shows in SensorEndToEndTest.

    // Closing the monitor lets the sensor go without telling anyone that it was lost.
    LinkRig closing;
    closing.start(sensorId).advertise(closing.nimbo);
    closing.onMain([&] { closing.link.stop(); });
    closing.runtime.runFor(1.0);
    EXPECT_EQ(closing.central().count(std::string("cancel ") + sensorId), 1u);
    EXPECT_EQ(std::count(closing.outlets.calls.begin(), closing.outlets.calls.end(), "disconnected"), 0);
}

} // namespace
} // namespace velorin
