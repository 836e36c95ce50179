#include "../fakes/MonitorRig.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

namespace velorin {
namespace {

struct WindowPainter : TracePainter {
    void paint(const TraceFrame& frame) override { window = frame.window; }
    VerticalWindow window{};
};

TEST(MonitorScreen, LoadShowsTheVersionUntilTheTermsAreAcceptedAndTheUnlockButtonWhileLocked)
{
    MonitorRig rig;
    rig.versionAlert = true;
    rig.settings.set(keys::lockPass, std::string(""));
    rig.load();
    EXPECT_EQ(rig.view.alerts, std::vector<std::string>{"Velorin | v 1.24     27.05.2017"});
    EXPECT_EQ(rig.view.lastAlert.cancelButton, "Continue");
    EXPECT_FALSE(rig.view.isShown(Outlet::unlockButton)); // an empty passcode is no lock

    MonitorRig accepted;
    accepted.settings.set(keys::lockPass, std::string("4711"));
    accepted.load();
    EXPECT_TRUE(accepted.view.alerts.empty());
    EXPECT_TRUE(accepted.view.isShown(Outlet::unlockButton));
}

TEST(MonitorScreen, LockStillsTheTraceAndOnlyTheRightPasscodeLiftsIt)
{
    MonitorRig rig;
    rig.load();
    rig.press(&ViewController::startClick);
    rig.settings.set(keys::lockPass, std::string("4711"));
    rig.press(&ViewController::passwordSet);
    EXPECT_TRUE(rig.view.isShown(Outlet::unlockButton));
    EXPECT_FALSE(rig.view.isShown(Outlet::bpmLabel));
    EXPECT_EQ(rig.session->ecgView().shouldStop(), 1);

    rig.press(&ViewController::unlockClick);
    EXPECT_EQ(rig.view.alerts.back(), "Unlock visualisation | Write your passcode!");
    EXPECT_TRUE(rig.view.lastAlert.textField);
    EXPECT_TRUE(rig.view.lastAlert.secretField);
    rig.view.press(1, "4712");
    rig.view.press(0, "4711");
    EXPECT_EQ(rig.view.toasts, std::vector<std::string>{"Wrong password for unlock!"});
    EXPECT_TRUE(rig.settings.has(keys::lockPass));
    EXPECT_EQ(rig.session->ecgView().shouldStop(), 1);

    rig.view.press(1, "4711");
    EXPECT_FALSE(rig.settings.has(keys::lockPass));
    EXPECT_FALSE(rig.view.isShown(Outlet::unlockButton));
    EXPECT_EQ(rig.session->ecgView().shouldStop(), 0);
    // Unlocked while recording: a symptom can be marked again at once.
    EXPECT_TRUE(rig.view.isShown(Outlet::markEventButton));
    EXPECT_TRUE(rig.view.isShown(Outlet::bpmLabel));

    // A second dialog answered after the lock is gone finds nothing to refuse.
    rig.view.setShown(Outlet::unlockButton, true);
    rig.view.press(1, "anything");
    EXPECT_FALSE(rig.view.isShown(Outlet::unlockButton));
    EXPECT_EQ(rig.view.toasts.size(), 1u);

    // A passcode written as a number into a hand-edited file locks and unlocks the same.
    rig.settings.set(keys::lockPass, std::int64_t{4711});
    rig.press(&ViewController::passwordSet);
    EXPECT_TRUE(rig.view.isShown(Outlet::unlockButton));
    EXPECT_EQ(rig.session->ecgView().shouldStop(), 1);
    rig.press(&ViewController::unlockClick);
    rig.view.press(1, "4711");
    EXPECT_FALSE(rig.settings.has(keys::lockPass));
    EXPECT_EQ(rig.session->ecgView().shouldStop(), 0);
}

TEST(MonitorScreen, AmplitudeControlsMoveTheStoredWindowInSteps)
{
    MonitorRig rig;
    ViewController& vc = rig.load();
    using P = std::pair<float, float>;
    // Without a start the bounds are absent.
    auto after = [&](void (ViewController::*action)(), std::optional<P> start, int times = 1) {
        for (auto [key, value] : {std::pair(keys::amplitudeHeightMin, start ? &start->first : nullptr),
                                  std::pair(keys::amplitudeHeightMax, start ? &start->second : nullptr)})
            value ? rig.settings.setFloat(key, *value) : rig.settings.remove(key);
        for (int i = 0; i < times; ++i)
            rig.press(action);
        return P(rig.settings.floatValue(keys::amplitudeHeightMin), rig.settings.floatValue(keys::amplitudeHeightMax));
    };
    EXPECT_EQ(after(&ViewController::zoom, std::nullopt, 10), P(425, 550));
    EXPECT_EQ(after(&ViewController::zoom, P(400, 540)), P(425, 540)); // max judged against the new min
    EXPECT_EQ(after(&ViewController::zoom, P(800, 300)), P(800, 300)); // min above max: no reset
    EXPECT_EQ(after(&ViewController::unzoom, std::nullopt), P(175, 775));
    EXPECT_EQ(after(&ViewController::amplitudeUp, P(300, 1000)), P(300, 1000));
    EXPECT_EQ(after(&ViewController::amplitudeDown, P(25, 600)), P(25, 600));

    WindowPainter painter;
    vc.attachTracePainter(&painter);
    auto frame = [&](SettingValue min, SettingValue max) {
        rig.settings.set(keys::amplitudeHeightMin, min);
        rig.settings.set(keys::amplitudeHeightMax, max);
        rig.session->ecgView().drawView();
        return P(painter.window.bottom, painter.window.top);
    };
    EXPECT_EQ(frame(300.0f, std::int64_t{900}), P(300, 900));
    EXPECT_EQ(frame(900.0f, 300.0f), P(200, 750));
    EXPECT_EQ(frame(std::string("300"), 900.0f), P(200, 750));
    EXPECT_EQ(frame(300.0f, 1100.5f), P(200, 750));
    EXPECT_EQ(after(&ViewController::zoom, P(-1, 900)), P(225, 725)); // the buttons start from 200/750 too
}

} // namespace
} // namespace velorin
