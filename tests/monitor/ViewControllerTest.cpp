#include "../fakes/MonitorRig.h"
#include "monitor/ChunkBytes.h"
#include "sensor/RememberedSensor.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

TEST(MonitorLoad, ReadsTheRememberedSensorAndItsServers)
{
    MonitorRig rig;
    rig.settings.set(sensorKeys::selectedUUID, std::string("4F2C-11"));
    rig.settings.set(sensorKeys::sensorPin, std::string("1234"));
    rig.settings.set(keys::fileServers, std::vector<std::string>{"files.example:92/up"});
    rig.load();
    EXPECT_EQ(rig.acquisition.chosenSensorId, "4F2C-11");
    EXPECT_EQ(rig.acquisition.sensorPin, "1234");
    EXPECT_EQ(rig.acquisition.fileServerList, std::vector<std::string>{"files.example:92/up"});
}

// Locked, recording goes on while the trace stays still and no event can be marked.
TEST(MonitorStartStop, StartStopsAndALockedStartStillRecords)
{
    MonitorRig rig;
    rig.load();
    rig.press(&ViewController::startClick);
    EXPECT_EQ(rig.acquisition.recordingActive.load(), 1);
    EXPECT_EQ(rig.session->ecgView().shouldStop(), 0);
    rig.press(&ViewController::stopClick);
    EXPECT_EQ(rig.acquisition.recordingActive.load(), 0);

    rig.settings.set(keys::lockPass, std::string("1111"));
    rig.press(&ViewController::startClick);
    EXPECT_EQ(rig.acquisition.recordingActive.load(), 1);
    EXPECT_FALSE(rig.view.isShown(Outlet::markEventButton));
    EXPECT_EQ(rig.session->ecgView().shouldStop(), 1);
    rig.stream(268);
    EXPECT_NE(rig.file("2017-05-27_101530.ecg"), "<missing>");
}

TEST(MonitorIntake, AnUpdateWithAnErrorIsStillTakenIn)
{
    MonitorRig rig;
    rig.load();
    rig.sensor.deliver("2A37", MonitorRig::packet(1), "link busy");
    rig.sensor.deliver("2A29", {'N', 'i'});
    rig.runtime.runPending();
    EXPECT_EQ(rig.acquisition.packetsSinceStart.load(), 1);
    EXPECT_EQ(rig.acquisition.valueUpdateCount.load(), 2);
}

TEST(MonitorBattery, LowAlertsShowOnceAndOutOfRangeBytesAreIgnored)
{
    MonitorRig rig;
    rig.load();
    auto battery = [&](std::uint8_t level) {
        rig.sensor.deliver("2A19", {level, 0x33});
        rig.runtime.runPending();
    };
    for (std::uint8_t level : {57, 0, 8, 8, 5, 15})
        battery(level);
    EXPECT_EQ(rig.view.alerts, (std::vector<std::string>{
                                   "Sensor battery low | Please charge your Nimbo!",
                                   "Sensor battery very low | Please charge your Nimbo to avoid damages!"}));
    for (std::uint8_t noise : {101, 255})
        battery(noise);
    EXPECT_EQ(rig.view.lastText(Outlet::batteryLevels), "15%");
}

TEST(MonitorHeartRate, TimerPublishesEveryFiveCountedScans)
{
    MonitorRig rig;
    rig.load();
    // Packets with a sharp rise every 100 samples.
    for (int n = 0; n < 300; ++n) {
        rig.sensor.deliver("2A37", spikePacket(n));
        rig.runtime.runPending();
    }
    // The signal goes on while the timer counts its scans.
    for (int n = 300; n < 323; ++n) {
        rig.runtime.runFor(0.112);
        rig.sensor.deliver("2A37", spikePacket(n));
    }
    rig.runtime.runPending();
    EXPECT_EQ(rig.view.texts[Outlet::bpmLabel], std::vector<std::string>{"75"});
}

// Returns whether `done` ran.
bool quit(MonitorRig& rig)
{
    bool done = false;
    rig.session->flushOnQuit([&] { done = true; });
    rig.runtime.runPending();
    return done;
}

// The last partial chunk written on quit, with its stream and upload, is checked end to end
// (RecorderQuitEndToEndTest); here, that a quit writes nothing twice.
TEST(FlushOnQuit, NothingIsWrittenStoppedInTheForegroundOrWithNothingGathered)
{
    MonitorRig rig;
    rig.load();
    EXPECT_TRUE(quit(rig)); // nothing gathered at all
    EXPECT_TRUE(rig.files.files.empty());

    MonitorRig stopped;
    stopped.load();
    stopped.press(&ViewController::startClick);
    stopped.stream(268);
    stopped.press(&ViewController::stopClick);
    stopped.stream(10);
    const auto before = stopped.files.files;
    EXPECT_TRUE(quit(stopped));
    EXPECT_EQ(stopped.files.files, before);
    EXPECT_EQ(stopped.http.sent.size(), 1u);

    // Right after a flush nothing is gathered, recording or not.
    MonitorRig flushed;
    flushed.load();
    flushed.appState.set(AppState::Background);
    flushed.stream(268);
    const auto written = flushed.files.files;
    EXPECT_TRUE(quit(flushed));
    EXPECT_EQ(flushed.files.files, written);
    EXPECT_EQ(flushed.http.sent.size(), 1u);
}

} // namespace
} // namespace velorin
