#include "../fakes/FakeBle.h"
#include "sensor/RememberedSensor.h"
#include "../fakes/MonitorRig.h"
#include "monitor/ChunkBytes.h"
#include "sensor/SensorLink.h"
#include "settings/SettingsKeys.h"

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
    // What the files of that extension hold, all together.
    std::string onDisk(const std::string& extension) const
    {
        std::string all;
        for (const auto& [path, bytes] : files.files)
            if (path.ends_with(extension))
                all += bytes;
        return all;
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
    EXPECT_EQ(rig.central().count("scan"), scans);
    EXPECT_FALSE(rig.settings.has(sensorKeys::selectedUUID));
}

// After a drop the trace starts afresh behind a gap: what came before is never joined to what comes
// after. (That nothing gathered is lost and the recording goes on in its stream is end to end.)
TEST(MonitorLink, TheTraceBreaksWhereTheLinkDropped)
{
    LinkedMonitor rig;
    rig.settings.set(sensorKeys::selectedUUID, std::string(sensorId));
    rig.loadLinked();
    rig.advertise();
    rig.press(&ViewController::startClick);
    rig.packets(100);
    rig.central().drop(rig.nimbo);
    rig.runtime.runPending();
    rig.runtime.runFor(1.5);
    rig.advertise();
    rig.packets(4);
    const auto curve = rig.session->ecgView().curve();
    EXPECT_EQ(std::count_if(curve.begin(), curve.end(), [](float v) { return std::isnan(v); }), 6);
}

// The disconnect button is the user's end of a recording: what was gathered goes into its stream at
// once, also when Start is pressed again straight after. (Drops that end nothing are end to end.)
TEST(MonitorLink, TheDisconnectButtonWritesWhatWasGatheredIntoItsStream)
{
    LinkedMonitor rig;
    rig.settings.set(sensorKeys::selectedUUID, std::string(sensorId));
    ViewController& vc = rig.loadLinked();
    rig.advertise();
    rig.press(&ViewController::startClick);
    rig.packets(10);
    rig.runtime.mainQueue().async([&] {
        vc.disconnectClick();
        EXPECT_FALSE(vc.isRecording());
        vc.startClick();
    });
    rig.runtime.runPending();
    const std::string samples = rig.onDisk(".ecg"), stream = rig.onDisk(".s2");
    EXPECT_EQ(std::count(samples.begin(), samples.end(), ' '), 10 * 14);
    EXPECT_EQ(stream.find(streamFormat::headerClose), stream.rfind(streamFormat::headerClose));
    EXPECT_EQ(stream.rfind(test::records(0, 10), 0), 0u);
    EXPECT_TRUE(rig.acquisition.recordingPath.empty());
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
}

} // namespace
} // namespace velorin
