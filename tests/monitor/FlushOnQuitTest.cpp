#include "monitor/ChunkBytes.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

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
