#include "monitor/ChunkBytes.h"
#include "signal/StreamFormat.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {
using test::chunkText;
using test::records;

// Returns whether `done` ran.
bool quit(MonitorRig& rig)
{
    bool done = false;
    rig.session->flushOnQuit([&] { done = true; });
    rig.runtime.runPending();
    return done;
}

TEST(FlushOnQuit, RecordingTheLastPartialChunkIsAppendedUnderItsStampAndUploaded)
{
    MonitorRig rig;
    rig.load();
    rig.press(&ViewController::startClick);
    // One flush at 30.016 s, then 32 packets up to 33.6 s: still the 10:15:30 slot.
    rig.stream(300);
    ASSERT_EQ(rig.http.sent.size(), 1u);
    EXPECT_TRUE(quit(rig));

    const std::string stamp = "2017-05-27_101530";
    EXPECT_EQ(rig.file(stamp + ".ecg"), chunkText(0, 268) + chunkText(268, 32));
    EXPECT_EQ(rig.file(stamp + ".s2"), records(0, 268) + streamHeader("", stamp) + records(268, 32));
    ASSERT_EQ(rig.http.sent.size(), 2u);
    EXPECT_NE(rig.http.sent[1].request.body.find(stamp + "_"), std::string::npos);
    EXPECT_TRUE(rig.acquisition.uploadBuffer.empty());

    // The sensor is stopped: a late packet changes nothing.
    rig.stream(1);
    EXPECT_EQ(rig.file(stamp + ".ecg"), chunkText(0, 268) + chunkText(268, 32));
}

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
