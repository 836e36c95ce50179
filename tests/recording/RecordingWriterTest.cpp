#include "monitor/ChunkBytes.h"
#include "recording/FileStamp.h"
#include "signal/StreamFormat.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {
using test::chunkText;
using test::records;

TEST(StreamHeader, MatchesTheTableByteForByte)
{
    const std::string header = streamHeader("A1B2", "2017-05-27_101530");
    const std::string expected = std::string("\x21\x32\x01\x6E\x2F", 5) +
                                 "recording software = Trazio 1.5.2-0-g589e757 ()\n" + "\x25\x15" +
                                 "UUID=A1B2\n" + "\x25\x0F" + "date=2017-05-27_101530\n" + "\x25\x0A" +
                                 "time=2017-05-27_101530\n" + "\x25\x0E" + "timezone=+0100\n" + "\x25\x27" +
                                 "Gadget firmware revision=1.0.2e 1b34dca\n" + "Header end";
    EXPECT_EQ(header, expected);
    // Without an identifier the line stays, its length byte unchanged.
    EXPECT_NE(streamHeader("", "s").find("\x25\x15UUID=\n\x25"), std::string::npos);
}

TEST(FileStamp, FloorsToThirtySecondsInLocalTime)
{
    useTestTimeZone();
    // 2017-05-27 10:15:47 CEST.
    EXPECT_EQ(chunkFileStamp(1495872947.0), "2017-05-27_101530");
    EXPECT_EQ(chunkFileStamp(1495872930.0), "2017-05-27_101530");
    EXPECT_EQ(chunkFileStamp(1495872929.999), "2017-05-27_101500");
    EXPECT_DOUBLE_EQ(dateWith30Seconds(referenceInstant + 59.9), referenceInstant + 30.0);
    EXPECT_DOUBLE_EQ(dateWith30Seconds(referenceInstant - 0.5), referenceInstant - 30.0);
}

// A first chunk's text and records, its stream's header behind them and the upload it hands over are
// checked byte for byte end to end (RecorderEndToEndTest, UploadEndToEndTest).
// Stopped in the foreground nothing is written and memory stays flat however long the stop lasts;
// the chunk after Start keeps the packets counted before Stop and, of the stopped ones, the latest 268.
TEST(RecordingWriter, StopAndStartOpenANewStreamKeepingTheCountedAndTheLatestStoppedPackets)
{
    for (const int stopped : {100, 2680}) {
        SCOPED_TRACE(stopped);
        MonitorRig rig;
        rig.load();
        rig.press(&ViewController::startClick);
        rig.stream(300);
        rig.press(&ViewController::stopClick);
        std::size_t largestText = 0, largestStream = 0, largestUpload = 0;
        for (int sent = 0; sent < stopped; sent += 268) {
            rig.stream(std::min(268, stopped - sent));
            Acquisition& acq = rig.acquisition;
            std::lock_guard lock(acq.bufferMutex);
            largestText = std::max(largestText, acq.sampleText.size());
            largestStream = std::max(largestStream, acq.recordBuffer.size());
            largestUpload = std::max(largestUpload, acq.uploadBuffer.size());
        }
        EXPECT_EQ(rig.files.files.size(), 2u);
        EXPECT_LT(largestText, chunkText(0, 32 + 2 * 268).size());
        EXPECT_LT(largestStream, records(0, 32 + 2 * 268).size());
        EXPECT_LT(largestUpload, (32 + 2 * 268) * 20u);
        rig.press(&ViewController::startClick);
        rig.stream(236);
        const std::string second = chunkFileStamp(rig.runtime.now());
        const int kept = std::min(stopped, 268);
        EXPECT_EQ(rig.file(second + ".ecg"),
                  chunkText(268, 32) + chunkText(300 + stopped - kept, kept) + chunkText(300 + stopped, 236));
        EXPECT_EQ(rig.file(second + ".s2"), records(300 + stopped, 236) + streamHeader("", second));
    }
}

TEST(RecordingWriter, BackgroundPacketsCountWithoutRecording)
{
    MonitorRig rig;
    rig.load();
    rig.appState.set(AppState::Background);
    rig.stream(268);
    EXPECT_EQ(rig.file("2017-05-27_101530.ecg"), chunkText(0, 268));
    rig.appState.set(AppState::Inactive);
    rig.stream(268);
    EXPECT_EQ(rig.file("2017-05-27_101600.ecg"), chunkText(268, 268));
    rig.appState.set(AppState::Active);
    rig.stream(600);
    EXPECT_EQ(rig.files.files.size(), 3u); // two .ecg and one .s2
}

TEST(RecordingWriter, SameSlotChunkIsAppended)
{
    MonitorRig rig(testStart + 0.5);
    rig.load();
    rig.appState.set(AppState::Background);
    rig.stream(268); // flush at 10:15:30.52
    rig.press(&ViewController::stopClick); // a new stream file for the next flush
    // Force a second flush in the same slot: a writer call a moment later.
    rig.acquisition.sampleText = "7 8 9 ";
    rig.runtime.bluetoothQueue().async([&] { rig.session->flushGathered(true); });
    rig.runtime.runPending();
    EXPECT_EQ(rig.file("2017-05-27_101530.ecg"), chunkText(0, 268) + "7 8 9 ");
    const std::string stream = rig.file("2017-05-27_101530.s2");
    // The second stream piece (with its own header) is appended, not written over the first.
    EXPECT_EQ(stream.rfind(records(0, 268), 0), 0u);
    EXPECT_EQ(stream.size(), records(0, 268).size() + 180 + 180);
}

TEST(RecordingWriter, ShortPacketsLeaveANoteAndALoneSpace)
{
    MonitorRig rig;
    rig.load();
    rig.appState.set(AppState::Background);
    const std::vector<std::uint8_t> shortPacket(18, 0x42);
    for (int chunk = 0; chunk < 2; ++chunk) {
        rig.runtime.runFor(0.112);
        rig.sensor.deliver("2A37", shortPacket);
        rig.runtime.runPending();
        rig.stream(267);
    }
    const std::string firstStamp = "2017-05-27_101530";
    const std::string second = chunkFileStamp(rig.runtime.now());
    EXPECT_EQ(rig.file(firstStamp + ".ecg").substr(0, 3), " 50");
    const std::string shortRecord = "10022" + std::string(18, '\x42');
    // Before the first flush the stamp is empty; afterwards it is the latest flush's.
    EXPECT_EQ(rig.file(firstStamp + ".s2").substr(0, 34 + shortRecord.size()),
              "Error in communication timestamp: " + shortRecord);
    const std::string stream = rig.file(firstStamp + ".s2");
    EXPECT_NE(stream.find("Error in communication timestamp: " + firstStamp + shortRecord), std::string::npos);
    EXPECT_EQ(rig.file(second + ".ecg").substr(0, 3), " 50");
    EXPECT_TRUE(rig.acquisition.uploadBuffer.empty());
}

TEST(RecordingWriter, FailedWritesAreReportedOnceAndBuffersStillEmptied)
{
    MonitorRig rig;
    rig.files.failEndings = {".ecg", ".s2"};
    rig.load();
    rig.press(&ViewController::startClick);
    rig.stream(268 * 2);
    EXPECT_TRUE(rig.files.files.empty());
    EXPECT_EQ(std::count(rig.view.toasts.begin(), rig.view.toasts.end(), "Recording could not be saved."), 1);
    EXPECT_TRUE(rig.acquisition.sampleText.empty());
    EXPECT_TRUE(rig.acquisition.recordBuffer.empty());
}

} // namespace
} // namespace velorin
