#include "app/SleepPreventer.h"
#include "sensor/RememberedSensor.h"
#include "../fakes/FakeBle.h"
#include "../fakes/MonitorRig.h"
#include "app/SilentSound.h"
#include "app/SleepInhibitor.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

#include <utility>

namespace velorin {
namespace {

struct FakeSound : SilentSound {
    std::string play() override { return ++plays, problem; }
    int plays = 0;
    std::string problem;
};

// Answers on the main queue, as logind's reply comes through the event loop; an abandoned request
// is never answered.
struct FakeInhibitor : SleepInhibitor {
    explicit FakeInhibitor(Queue& main) : main(main) {}
    void acquire(Outcome outcome) override { ++acquires, pending = std::move(outcome); }
    void release() override { ++releases, pending = nullptr; }
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

TEST(SleepPreventer, SoundAtOnceThenEveryFiveSecondsAndLockWhileConnectedOrRecording)
{
    VirtualRuntime runtime;
    FakeLog log;
    FakeSound sound;
    FakeInhibitor inhibitor{runtime.mainQueue()};
    SleepPreventer service{{sound, inhibitor}, runtime.timers(), log};
    service.startPreventSleep();
    sound.problem = "no audio output";
    runtime.runFor(10.0);
    EXPECT_EQ(sound.plays, 3);

    service.setSensorConnected(true);
    service.setRecording(true);
    inhibitor.answer();
    runtime.runPending();
    service.setSensorConnected(false);
    EXPECT_EQ(inhibitor.releases, 0);
    service.setRecording(false);
    EXPECT_EQ(inhibitor.acquires, 1);
    EXPECT_EQ(inhibitor.releases, 1);

    // Let go before logind answered: the request is abandoned and nothing was taken.
    service.setRecording(true);
    service.setRecording(false);
    inhibitor.answer();
    runtime.runPending();
    EXPECT_EQ(inhibitor.releases, 2);
}

TEST(SleepPreventer, MonitorHoldsTheLockFromConnectionToDropAndRecordsWhenRefused)
{
    MonitorRig rig;
    FakeSound sound;
    FakeInhibitor inhibitor{rig.runtime.mainQueue()};
    KeepAwakePorts ports{sound, inhibitor};
    FakeCentralFactory factory;
    const std::string id = "4F2C8A1B-0D3E-4C55-9A7B-1E2D3C4B5A69";
    auto nimbo = std::make_shared<FakePeripheral>(rig.runtime.bluetoothQueue(), id);
    nimbo->offerNimbo();
    rig.settings.set(sensorKeys::selectedUUID, id);
    rig.centralFactory = &factory;
    rig.keepAwake = &ports;
    ViewController& vc = rig.load();
    EXPECT_EQ(sound.plays, 1);

    factory.central->advertise(nimbo, "Nimbo", -60);
    rig.runtime.runPending();
    inhibitor.answer("Access denied");
    rig.press(&ViewController::startClick);
    inhibitor.answer("Access denied");
    rig.runtime.runFor(30.0);
    EXPECT_EQ(inhibitor.acquires, 2);
    EXPECT_TRUE(vc.isRecording());

    rig.press(&ViewController::stopClick);
    rig.press(&ViewController::startClick);
    inhibitor.answer();
    // A drop does not end the recording, so the computer stays awake for it.
    factory.central->drop(nimbo);
    rig.runtime.runPending();
    EXPECT_TRUE(vc.isRecording());
    EXPECT_EQ(inhibitor.releases, 0);
    rig.press(&ViewController::stopClick);
    EXPECT_EQ(inhibitor.releases, 1);
}

} // namespace
} // namespace velorin
