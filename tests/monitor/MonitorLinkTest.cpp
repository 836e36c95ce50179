#include "../fakes/FakeBle.h"
#include "sensor/RememberedSensor.h"
#include "../fakes/MonitorRig.h"
#include "sensor/SensorLink.h"
#include "settings/SettingsKeys.h"
#include "signal/StreamFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

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
    void packets(int count)
    {
        for (int i = 0; i < count; ++i) {
            runtime.runFor(0.112);
            nimbo->notify("2A37", packet(500 + i % 7, i));
            runtime.runPending();
        }
    }
    void answer(int button, const std::string& text)
    {
        runtime.mainQueue().async([this, answer = view.lastAnswer, button, text] { answer(button, text); });
        runtime.runPending();
    }
};

TEST(MonitorLink, SensorListChoiceAndConnectedNotice)
{
    LinkedMonitor rig;
    rig.loadLinked();
    rig.advertise();
    rig.press(&ViewController::showDropDownList);
    EXPECT_EQ(rig.view.lastAlert.title, "Choose pin");
    EXPECT_EQ(rig.view.lastAlert.cancelButton, "Cancel");
    EXPECT_EQ(rig.view.lastAlert.otherButtons, std::vector<std::string>{"4F2C8A1B-0D3E...  -60dB"});
    EXPECT_TRUE(rig.view.lastAlert.textField);

    const auto scans = rig.central().count("scan");
    rig.answer(0, "1234");
    rig.answer(-1, "1234");
    EXPECT_FALSE(rig.settings.has(sensorKeys::sensorPin));
    rig.answer(1, std::string(19, '1'));
    EXPECT_EQ(rig.view.alerts.back().rfind("Pin too long", 0), 0u);
    EXPECT_EQ(rig.central().count("scan"), scans);

    rig.press(&ViewController::showDropDownList);
    rig.answer(1, "");
    EXPECT_EQ(rig.settings.text(sensorKeys::selectedUUID), sensorId);
    EXPECT_EQ(rig.settings.text(sensorKeys::sensorPin), "");
    rig.advertise();
    EXPECT_EQ(rig.view.lastText(Outlet::sensorName), "Nimbo");
    EXPECT_TRUE(rig.view.enabled[Outlet::disconnect]);
    rig.packets(3); // the reads of 2A38 and 2A29 go unanswered here
    EXPECT_EQ(rig.view.toasts, std::vector<std::string>{"Connected to sensor"});

    rig.press(&ViewController::disconnectClick);
    EXPECT_FALSE(rig.view.enabled[Outlet::disconnect]);
    EXPECT_EQ(rig.view.toasts.back(), "Sensor disconnected.");
}

// Samples in every chunk file and stream files, by name suffix, in the rig's documents.
std::size_t samplesOnDisk(const MonitorRig& rig)
{
    std::size_t samples = 0;
    for (const auto& [path, text] : rig.files.files)
        if (path.ends_with(".ecg"))
            samples += static_cast<std::size_t>(std::count(text.begin(), text.end(), ' '));
    return samples;
}

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

std::vector<std::string> streams(const MonitorRig& rig)
{
    std::vector<std::string> found;
    for (const auto& [path, bytes] : rig.files.files)
        if (path.ends_with(".s2"))
            found.push_back(bytes);
    return found;
}

TEST(MonitorLink, ADropKeepsWhatWasGatheredAndTheRecordingGoesOnInTheSameStream)
{
    LinkedMonitor rig;
    rig.settings.set(sensorKeys::selectedUUID, std::string(sensorId));
    ViewController& vc = rig.loadLinked();
    rig.advertise();
    rig.press(&ViewController::startClick);
    rig.packets(100); // not a chunk yet

    rig.central().drop(rig.nimbo);
    rig.runtime.runPending();
    EXPECT_EQ(samplesOnDisk(rig), 100u * 14);
    ASSERT_EQ(streams(rig).size(), 1u);
    EXPECT_TRUE(vc.isRecording());
    EXPECT_TRUE(rig.view.isShown(Outlet::StopButton));
    EXPECT_EQ(rig.view.images[Outlet::sensorImage].back(), "Cancel");
    EXPECT_EQ(rig.view.toasts.back(), "Sensor disconnected.");
    rig.runtime.runFor(1.5);
    EXPECT_TRUE(rig.view.isShown(Outlet::noSignal));

    // Back by itself: its packets count again, into the stream already open; the pin is written again.
    rig.advertise();
    rig.packets(4);
    const auto curve = rig.session->ecgView().curve();
    EXPECT_EQ(std::count_if(curve.begin(), curve.end(), [](float v) { return std::isnan(v); }), 6);
    rig.packets(264);
    rig.runtime.runFor(0.5);
    EXPECT_EQ(rig.view.toasts.back(), "Sensor reconnected.");
    EXPECT_FALSE(rig.view.isShown(Outlet::noSignal));
    EXPECT_EQ(rig.nimbo->count("write 2A39 07 04"), 2u);
    EXPECT_EQ(samplesOnDisk(rig), 368u * 14);
    ASSERT_EQ(streams(rig).size(), 1u);
    const std::string stream = streams(rig).front();
    EXPECT_EQ(stream.find(streamFormat::headerClose), stream.rfind(streamFormat::headerClose));

    // The disconnect button is the user's end: what was gathered is written into its stream and the
    // recording stops, also when Start is pressed again at once.
    rig.packets(10);
    const auto records = [&] { return count(streams(rig).front(), std::string(streamFormat::recordLead)); };
    const auto before = records();
    rig.runtime.mainQueue().async([&] {
        vc.disconnectClick();
        EXPECT_FALSE(vc.isRecording());
        EXPECT_TRUE(rig.view.isShown(Outlet::startButton));
        vc.startClick();
    });
    rig.runtime.runPending();
    EXPECT_EQ(samplesOnDisk(rig), 378u * 14);
    EXPECT_EQ(records(), before + 10);
    EXPECT_TRUE(rig.acquisition.recordingPath.empty());
    rig.runtime.runFor(3.0);
    EXPECT_EQ(rig.view.toasts.back(), "Sensor disconnected.");
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
