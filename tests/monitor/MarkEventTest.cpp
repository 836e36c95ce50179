#include "monitor/ChunkBytes.h"
#include "recording/FileStamp.h"
#include "signal/StreamFormat.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {
using test::records;

TEST(MarkEvent, ActivityIsSentAndRecordedThenTheFeelingLocksStopForFortyFiveSeconds)
{
    MonitorRig rig;
    rig.load();
    rig.press(&ViewController::startClick);
    rig.stream(10);
    rig.press(&ViewController::markEvent);
    EXPECT_TRUE(rig.session->events().pending());
    rig.view.press(5);
    rig.runtime.runPending();
    ASSERT_EQ(rig.http.sent.size(), 1u);
    EXPECT_NE(rig.http.sent[0].request.body.find(R"("Activity":"Walking")"), std::string::npos);
    rig.view.press(3);
    EXPECT_FALSE(rig.view.enabled[Outlet::StopButton]);
    rig.runtime.runFor(44.9);
    EXPECT_FALSE(rig.view.enabled[Outlet::StopButton]);
    rig.runtime.runFor(0.1);
    EXPECT_TRUE(rig.view.enabled[Outlet::StopButton]);

    // The annotation stands between the packets taken in before and after the choice.
    rig.stream(258);
    const std::string stream = rig.file(chunkFileStamp(rig.runtime.now()) + ".s2");
    EXPECT_EQ(stream.rfind(records(0, 10) + annotationRecord(10, "Walking") + records(10, 258), 0), 0u);
    rig.stream(268);
    EXPECT_NE(rig.file(chunkFileStamp(rig.runtime.now()) + " Walking palpitations .event"), "<missing>");
}

TEST(MarkEvent, CancelInEitherDialogChangesNothingMore)
{
    MonitorRig rig;
    rig.load();
    rig.press(&ViewController::markEvent);
    rig.view.press(0);
    rig.runtime.runPending();
    EXPECT_TRUE(rig.session->events().pending());
    EXPECT_TRUE(rig.http.sent.empty());
    EXPECT_EQ(rig.view.alerts.size(), 1u);

    rig.press(&ViewController::markEvent);
    rig.view.press(1);
    rig.view.press(0);
    rig.runtime.runPending();
    EXPECT_EQ(rig.http.sent.size(), 1u); // the activity went out when it was chosen
    EXPECT_TRUE(rig.view.toasts.empty());
    EXPECT_EQ(rig.view.enabled.count(Outlet::StopButton), 0u);
}

TEST(MonitorUpload, AnOfflineFlushKeepsTheChunk)
{
    MonitorRig rig;
    rig.reachability.online = false;
    rig.load();
    rig.appState.set(AppState::Background);
    rig.stream(268);
    // The upload carries each packet without its last byte.
    EXPECT_EQ(rig.file("Buffer/2017-05-27_101530_0.000000_0.000000.ecg").size(), 268u * 19);
    EXPECT_TRUE(rig.http.sent.empty());
}

} // namespace
} // namespace velorin
