#include "app/SleepPreventer.h"
#include "../fakes/FakeBle.h"
#include "../fakes/MonitorRig.h"
#include "app/SilentSound.h"
#include "app/SleepInhibitor.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace velorin {
namespace {

struct FakeSound : SilentSound {
    std::string play() override
    {
        ++plays;
        return problem;
    }
    int plays = 0;
    std::string problem;
};

// Answers on the main queue, as logind's reply comes back through the event loop; an abandoned
// request is never answered.
struct FakeInhibitor : SleepInhibitor {
    explicit FakeInhibitor(Queue& main) : main(main) {}
    void acquire(Outcome outcome) override
    {
        EXPECT_FALSE(pending) << "asked twice without a release";
        ++acquires;
        pending = std::move(outcome);
    }
    void release() override
    {
        ++releases;
        pending = nullptr;
    }
    void answer(const std::string& refusal = {})
    {
        if (pending)
            main.async([outcome = std::exchange(pending, nullptr), refusal] { outcome(refusal); });
    }
    Queue& main;
    Outcome pending;
    int acquires = 0;
    int releases = 0;
};

std::size_t countLines(const FakeLog& log, std::string_view fragment)
{
    return static_cast<std::size_t>(std::count_if(log.lines.begin(), log.lines.end(), [&](const std::string& l) {
        return l.find(fragment) != std::string::npos;
    }));
}

constexpr std::string_view takenLine = "Keeping the computer awake";
constexpr std::string_view releasedLine = "The computer may sleep again";
constexpr std::string_view refusedLine = "Cannot keep the computer awake: ";

struct Service {
    VirtualRuntime runtime;
    FakeLog log;
    FakeSound sound;
    FakeInhibitor inhibitor{runtime.mainQueue()};
    SleepPreventer service{{sound, inhibitor}, runtime.timers(), log};
};

TEST(SleepPreventer, PlaysAtOnceThenEveryFiveSecondsAndSaysOncePerSpellThatItCannot)
{
    Service s;
    s.service.startPreventSleep();
    s.runtime.runPending();
    EXPECT_EQ(s.sound.plays, 1);
    s.runtime.runFor(4.9);
    EXPECT_EQ(s.sound.plays, 1);
    s.runtime.runFor(0.1);
    EXPECT_EQ(s.sound.plays, 2);

    s.sound.problem = "no audio output";
    s.runtime.runFor(30.0);
    EXPECT_EQ(s.sound.plays, 8);
    EXPECT_EQ(s.log.lines, std::vector<std::string>{"Cannot play the keep-awake sound: no audio output"});
    // An output that comes and goes again is told of again.
    s.sound.problem.clear();
    s.runtime.runFor(5.0);
    s.sound.problem = "no audio output";
    s.runtime.runFor(5.0);
    EXPECT_EQ(countLines(s.log, "Cannot play"), 2u);
}

TEST(SleepPreventer, LockHeldWhileConnectedOrRecordingAndAnsweredLateOrRefusedWithoutHarm)
{
    Service s;
    s.service.setSensorConnected(true);
    s.service.setRecording(true);
    EXPECT_EQ(s.inhibitor.acquires, 1);
    s.inhibitor.answer();
    s.runtime.runPending();
    EXPECT_EQ(countLines(s.log, takenLine), 1u);

    s.service.setSensorConnected(false);
    EXPECT_EQ(s.inhibitor.releases, 0);
    s.service.setSensorConnected(true);
    s.service.setRecording(false);
    EXPECT_EQ(s.inhibitor.releases, 0);
    s.service.setSensorConnected(false);
    EXPECT_EQ(s.inhibitor.releases, 1);
    EXPECT_EQ(countLines(s.log, releasedLine), 1u);

    // Gone again before logind answered: the request is abandoned, nothing was taken or let go.
    s.service.setRecording(true);
    s.service.setRecording(false);
    EXPECT_EQ(s.inhibitor.releases, 2);
    s.inhibitor.answer();
    s.runtime.runPending();
    EXPECT_EQ(countLines(s.log, takenLine), 1u);
    EXPECT_EQ(countLines(s.log, releasedLine), 1u);

    // Refused: logged once however often it is asked again, and asked only when something changes.
    for (int i = 0; i < 3; ++i) {
        s.service.setSensorConnected(i % 2 == 0);
        s.service.setRecording(true);
        s.inhibitor.answer("no system bus");
        s.runtime.runFor(10.0);
    }
    EXPECT_EQ(s.inhibitor.acquires, 5);
    EXPECT_EQ(countLines(s.log, refusedLine), 1u);
    EXPECT_TRUE(s.log.contains("Cannot keep the computer awake: no system bus"));
}

constexpr const char* sensorId = "4F2C8A1B-0D3E-4C55-9A7B-1E2D3C4B5A69";

TEST(SleepPreventer, MonitorHoldsTheLockFromConnectionThroughRecordingAndRecordsWhenRefused)
{
    MonitorRig rig;
    FakeSound sound;
    FakeInhibitor inhibitor{rig.runtime.mainQueue()};
    KeepAwakePorts ports{sound, inhibitor};
    FakeCentralFactory factory;
    auto nimbo = std::make_shared<FakePeripheral>(rig.runtime.bluetoothQueue(), sensorId);
    nimbo->offerNimbo();
    rig.settings.set(keys::selectedUUID, std::string(sensorId));
    rig.centralFactory = &factory;
    rig.keepAwake = &ports;
    ViewController& vc = rig.load();
    EXPECT_EQ(sound.plays, 1);
    EXPECT_EQ(inhibitor.acquires, 0);

    factory.central->advertise(nimbo, "Nimbo", -60);
    rig.runtime.runPending();
    EXPECT_EQ(inhibitor.acquires, 1);
    inhibitor.answer("Access denied");
    rig.press(&ViewController::startClick);
    EXPECT_EQ(inhibitor.acquires, 2);
    inhibitor.answer("Access denied");
    for (int i = 0; i < 268; ++i) {
        rig.runtime.runFor(0.112);
        nimbo->notify("2A37", MonitorRig::packet(500 + i % 7, i));
        rig.runtime.runPending();
    }
    EXPECT_EQ(countLines(rig.log, refusedLine), 1u);
    EXPECT_TRUE(vc.isRecording());
    EXPECT_FALSE(vc.acquisition().recordingPath.empty());
    EXPECT_FALSE(vc.recordingFailed());

    // Granted now; a drop ends both connection and recording, so the lock goes.
    rig.press(&ViewController::stopClick);
    rig.press(&ViewController::startClick);
    inhibitor.answer();
    rig.runtime.runPending();
    EXPECT_EQ(countLines(rig.log, takenLine), 1u);
    factory.central->drop(nimbo);
    rig.runtime.runPending();
    EXPECT_FALSE(vc.isRecording());
    EXPECT_EQ(inhibitor.releases, 1);
    EXPECT_EQ(countLines(rig.log, releasedLine), 1u);
}

} // namespace
} // namespace velorin
