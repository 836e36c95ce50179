#include "../fakes/FakeBle.h"
#include "sensor/RememberedSensor.h"
#include "../fakes/MonitorRig.h"
#include "sensor/SensorLink.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

constexpr const char* sensorId = "4F2C8A1B-0D3E-4C55-9A7B-1E2D3C4B5A69";

struct LinkedMonitor : MonitorRig {
    FakeCentralFactory factory;
    std::shared_ptr<FakePeripheral> nimbo = std::make_shared<FakePeripheral>(runtime.bluetoothQueue(), sensorId);

    ViewController& loadLinked()
    {
        nimbo->offerNimbo();
        centralFactory = &factory;
        return load();
    }
    FakeCentral& central() { return *factory.central; }
    void advertise()
    {
        central().advertise(nimbo, "Nimbo", -60);
        runtime.runPending();
    }
    void answer(int button, const std::string& text)
    {
        runtime.mainQueue().async([this, answer = view.lastAnswer, button, text] { answer(button, text); });
        runtime.runPending();
    }
};

// The choice, the pin, drops and reconnection are met end to end (SensorEndToEndTest); here, what a
// user cannot type there: a pin too long, a cancelled choice.
TEST(MonitorLink, APinTooLongOrACancelledChoiceStoresNothing)
{
    LinkedMonitor rig;
    rig.loadLinked();
    rig.advertise();
    rig.press(&ViewController::showDropDownList);
    EXPECT_EQ(rig.view.lastAlert.otherButtons, std::vector<std::string>{"4F2C8A1B-0D3E...  -60dB"});
    EXPECT_TRUE(rig.view.lastAlert.textField);
    const auto scans = rig.central().count("scan");
    rig.answer(0, "1234");
    rig.answer(-1, "1234");
    EXPECT_FALSE(rig.settings.has(sensorKeys::sensorPin));
    rig.answer(1, std::string(19, '1'));
    EXPECT_EQ(rig.view.alerts.back().rfind("Pin too long", 0), 0u);
    EXPECT_EQ(rig.central().count("scan"), scans);
    EXPECT_FALSE(rig.settings.has(sensorKeys::selectedUUID));
}

TEST(MonitorLink, PowerOffAlertsOncePerPowerOffWithOneResetTimer)
{
    LinkedMonitor rig;
    rig.loadLinked();
    rig.central().setRadio(CentralState::poweredOff);
    rig.central().setRadio(CentralState::poweredOff);
    rig.runtime.runPending();
    EXPECT_EQ(rig.view.alerts, std::vector<std::string>{"Bluetooth turned off | Please turn on Bluetooth in Settings"});
    EXPECT_EQ(rig.session->ecgView().shouldStop(), 1);
    EXPECT_FALSE(rig.view.isShown(Outlet::startButton));
    EXPECT_FALSE(rig.view.isShown(Outlet::batteryLevels));
    EXPECT_EQ(rig.acquisition.sensorStatusShown.load(), 1);
    const auto pending = rig.runtime.pendingCount();

    rig.central().setRadio(CentralState::poweredOn);
    rig.central().setRadio(CentralState::poweredOff);
    rig.runtime.runPending();
    EXPECT_EQ(rig.view.alerts.size(), 2u);
    EXPECT_EQ(rig.runtime.pendingCount(), pending);
    rig.runtime.runFor(2.0);
    EXPECT_EQ(rig.acquisition.sensorStatusShown.load(), 0);
}

TEST(MonitorLink, StoredChoiceOfAnotherTypeCountsAsNone)
{
    LinkedMonitor rig;
    rig.settings.set(sensorKeys::selectedUUID, std::int64_t{42});
    rig.settings.set(sensorKeys::sensorPin, true);
    rig.loadLinked();
    rig.advertise();
    EXPECT_EQ(rig.acquisition.chosenSensorId, "");
    EXPECT_EQ(rig.acquisition.sensorPin, "");
    EXPECT_EQ(rig.central().count(std::string("connect ") + sensorId), 0u);
    EXPECT_EQ(rig.session->link()->devices().entries().at(0).label, "4F2C8A1B-0D3E...  -60dB");
    // As the recorder asks before choosing a sensor itself: through the Bluetooth queue.
    MonitorSession::SensorsSeen seen{"unasked", 0};
    rig.runtime.mainQueue().async([&] { rig.session->askAboutSensors([&](const auto& answer) { seen = answer; }); });
    rig.runtime.runPending();
    EXPECT_EQ(seen.chosenSensorId, "");
    EXPECT_EQ(seen.listed, 1u);
}

} // namespace
} // namespace velorin
