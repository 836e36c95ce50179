#include "../fakes/MonitorRig.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

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
}

} // namespace
} // namespace velorin
