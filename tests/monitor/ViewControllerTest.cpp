#include "../fakes/MonitorRig.h"
#include "monitor/ChunkBytes.h"
#include "sensor/RememberedSensor.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

TEST(MonitorLoad, HidesTheRecordingControlsAndReadsTheRememberedSensor)
{
    MonitorRig rig;
    rig.settings.set(sensorKeys::selectedUUID, std::string("4F2C-11"));
    rig.settings.set(sensorKeys::sensorPin, std::string("1234"));
    rig.settings.set(keys::fileServers, std::vector<std::string>{"files.example:92/up"});
    rig.settings.set(keys::lockPass, std::string("9876"));
    rig.load();
    EXPECT_FALSE(rig.view.isShown(Outlet::markEventButton));
    EXPECT_FALSE(rig.view.isShown(Outlet::bpmLabel));
    EXPECT_TRUE(rig.view.isShown(Outlet::unlockButton));
    EXPECT_EQ(rig.session->ecgView().shouldStop(), 1);
    EXPECT_EQ(rig.acquisition.chosenSensorId, "4F2C-11");
    EXPECT_EQ(rig.acquisition.sensorPin, "1234");
    EXPECT_EQ(rig.acquisition.fileServerList, std::vector<std::string>{"files.example:92/up"});
    EXPECT_EQ(rig.acquisition.eventServerAddress, "");

    rig.runtime.runFor(10.0);
    EXPECT_EQ(rig.sensor.batteryReads, 2);
}

TEST(MonitorStartStop, ButtonsFollowTheOrientationAndTheLock)
{
    MonitorRig rig;
    rig.load();
    rig.press(&ViewController::startClick);
    EXPECT_EQ(rig.acquisition.recordingActive.load(), 1);
    EXPECT_TRUE(rig.view.isShown(Outlet::StopButton));
    EXPECT_FALSE(rig.view.isShown(Outlet::startButton));
    EXPECT_TRUE(rig.view.isShown(Outlet::markEventButton));
    EXPECT_TRUE(rig.view.isShown(Outlet::zoomIn));
    EXPECT_EQ(rig.session->ecgView().shouldStop(), 0);

    rig.view.deviceOrientation = DeviceOrientation::landscapeRight;
    rig.press(&ViewController::stopClick);
    EXPECT_EQ(rig.acquisition.recordingActive.load(), 0);
    EXPECT_TRUE(rig.view.isShown(Outlet::startLandscape));
    EXPECT_FALSE(rig.view.isShown(Outlet::stopLandscape));
    EXPECT_FALSE(rig.view.isShown(Outlet::markEventButton));
    EXPECT_FALSE(rig.view.isShown(Outlet::bpmLabel));
    EXPECT_EQ(rig.session->ecgView().shouldStop(), 1);

    // Locked: recording goes on, the trace stays still and no event can be marked.
    rig.settings.set(keys::lockPass, std::string("1111"));
    rig.press(&ViewController::startClick);
    EXPECT_EQ(rig.acquisition.recordingActive.load(), 1);
    EXPECT_TRUE(rig.view.isShown(Outlet::stopLandscape));
    EXPECT_TRUE(rig.view.isShown(Outlet::unlockButton));
    EXPECT_FALSE(rig.view.isShown(Outlet::markEventButton));
    EXPECT_EQ(rig.session->ecgView().shouldStop(), 1);
    rig.stream(268);
    EXPECT_NE(rig.file("2017-05-27_101530.ecg"), "<missing>");
}

// The notice on the third packet shows in the replay's console (RecorderEndToEndTest); a third
// update that is no packet brings none.
TEST(MonitorIntake, NoConnectedNoticeWhenTheThirdUpdateIsNoPacket)
{
    MonitorRig rig;
    rig.load();
    rig.stream(2);
    rig.sensor.deliver("2A19", {80});
    rig.runtime.runPending();
    rig.stream(3);
    EXPECT_TRUE(rig.view.toasts.empty());
}

TEST(MonitorIntake, FirstPacketTurnsTheSensorIconOkOnce)
{
    MonitorRig rig;
    rig.load();
    rig.sensor.deliver("2A37", MonitorRig::packet(1));
    rig.sensor.deliver("2A37", MonitorRig::packet(2));
    rig.runtime.runPending();
    rig.stream(20);
    // Two packets were taken in before the posted refresh ran; each posted one.
    EXPECT_EQ(rig.view.images[Outlet::sensorImage], (std::vector<std::string>{"Ok", "Ok"}));
    EXPECT_TRUE(rig.view.isShown(Outlet::startButton));
    EXPECT_TRUE(rig.view.isShown(Outlet::batteryLevels));
    EXPECT_FALSE(rig.view.isShown(Outlet::StopButton));
}

TEST(MonitorIntake, ErrorsAreLoggedAndTheUpdateIsStillTakenIn)
{
    MonitorRig rig;
    rig.load();
    rig.sensor.deliver("2A37", MonitorRig::packet(1), "link busy");
    rig.sensor.deliver("2A29", {'N', 'i'});
    rig.runtime.runPending();
    EXPECT_TRUE(rig.log.contains("Error writing characteristic link busy"));
    EXPECT_EQ(rig.acquisition.packetsSinceStart.load(), 1);
    EXPECT_EQ(rig.acquisition.valueUpdateCount.load(), 2);
    EXPECT_FALSE(rig.log.contains("Update")); // per-packet lines only when verbose

    rig.log.setVerbose(true);
    rig.sensor.deliver("2A37", MonitorRig::packet(1));
    rig.runtime.runPending();
    EXPECT_TRUE(rig.log.contains("Update"));
    EXPECT_TRUE(rig.log.contains("Value <"));
}

TEST(MonitorBattery, AlertsShowOnceAndOutOfRangeBytesAreIgnored)
{
    MonitorRig rig;
    rig.load();
    auto battery = [&](std::uint8_t level) {
        rig.sensor.deliver("2A19", {level, 0x33});
        rig.runtime.runPending();
    };
    battery(57);
    EXPECT_EQ(rig.view.lastText(Outlet::batteryLevels), "57%");
    EXPECT_FLOAT_EQ(rig.view.progress[Outlet::batteryProgress], 0.57f);
    EXPECT_TRUE(rig.view.alerts.empty());

    battery(0);
    EXPECT_EQ(rig.view.lastText(Outlet::batteryLevels), "0%");
    EXPECT_TRUE(rig.view.alerts.empty());

    battery(8); // first low reading: the low alert comes first
    battery(8); // then the very-low one
    battery(5);
    battery(15);
    EXPECT_EQ(rig.view.alerts, (std::vector<std::string>{
                                   "Sensor battery low | Please charge your Nimbo!",
                                   "Sensor battery very low | Please charge your Nimbo to avoid damages!"}));
    EXPECT_EQ(rig.view.tints[Outlet::batteryProgress], Tint::red);

    const auto textsBefore = rig.view.texts[Outlet::batteryLevels].size();
    for (std::uint8_t noise : {101, 128, 200, 255})
        battery(noise);
    EXPECT_EQ(rig.view.texts[Outlet::batteryLevels].size(), textsBefore);
    EXPECT_TRUE(rig.log.contains("Ignored battery value 255"));
    EXPECT_EQ(rig.view.lastText(Outlet::batteryLevels), "15%");

    rig.sensor.deliver("2A19", {});
    rig.runtime.runPending();
    EXPECT_EQ(rig.view.texts[Outlet::batteryLevels].size(), textsBefore);

    // A first reading already low gives the low alert alone: the replay's console (RecorderEndToEndTest).
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
