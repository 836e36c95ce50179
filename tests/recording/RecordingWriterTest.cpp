#include "../fakes/MonitorRig.h"
#include "recording/FileStamp.h"
#include "recording/StreamRecords.h"
#include "settings/SettingsKeys.h"

#include <gtest/gtest.h>

namespace velorin {
namespace {

std::string records(int from, int count)
{
    std::string bytes;
    for (int i = from; i < from + count; ++i) {
        const auto packet = MonitorRig::packet(500 + i % 7, i);
        bytes += "10022" + std::string(packet.begin(), packet.end());
    }
    return bytes;
}

std::string chunkText(int from, int count)
{
    std::string text;
    for (int i = from; i < from + count; ++i)
        for (int k = 0; k < 14; ++k)
            text += std::to_string(500 + i % 7 + k) + " ";
    return text;
}

TEST(StreamHeader, MatchesTheTableByteForByte)
{
    const std::string header = streamHeader("A1B2", "2017-05-27_101530");
    const std::string expected = std::string("\x21\x32\x01\x6E\x2F", 5) +
                                 "recording software = Trazio 1.5.2-0-g589e757 ()\n" + "\x25\x15" +
                                 "UUID=A1B2\n" + "\x25\x0F" + "date=2017-05-27_101530\n" + "\x25\x0A" +
                                 "time=2017-05-27_101530\n" + "\x25\x0E" + "timezone=+0100\n" + "\x25\x27" +
                                 "Gadget firmware revision=1.0.2e 1b34dca\n" + "Header end";
    EXPECT_EQ(header, expected);
    EXPECT_EQ(header.size(), 180u + 4u);
    EXPECT_EQ(streamHeader("", "2017-05-27_101530").size(), 180u);
    // Length bytes match the software, timezone and firmware texts (with their line feed excluded).
    EXPECT_EQ(std::string("recording software = Trazio 1.5.2-0-g589e757 ()").size(), 0x2Fu);
    EXPECT_EQ(std::string("timezone=+0100").size(), 0x0Eu);
    EXPECT_EQ(std::string("Gadget firmware revision=1.0.2e 1b34dca").size(), 0x27u);
    EXPECT_NE(streamHeader("", "s").find("UUID=\n"), std::string::npos);
}

TEST(StreamHeader, AnnotationRecordText)
{
    EXPECT_EQ(annotationRecord(154, "Walking"), "10116812.3200001033101197Walking");
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

TEST(RecordingWriter, FirstFlushWritesTheChunkAndOpensTheStreamWithItsHeaderBehindTheRecords)
{
    MonitorRig rig;
    rig.settings.set(keys::selectedUUID, std::string("C0FFEE"));
    rig.load();
    rig.stream(3); // before Start: not counted, and their records are dropped by Start
    rig.press(&ViewController::startClick);
    rig.stream(268 * 2);

    // Flushes at 10:15:30.35 and 10:16:00.37: stamps ...101530 and ...101600.
    EXPECT_EQ(rig.file("2017-05-27_101530.ecg"), chunkText(0, 3) + chunkText(3, 268));
    EXPECT_EQ(rig.file("2017-05-27_101600.ecg"), chunkText(271, 268));
    EXPECT_EQ(rig.file("2017-05-27_101530.s2"),
              records(3, 268) + streamHeader("C0FFEE", "2017-05-27_101530") + records(271, 268));
    EXPECT_EQ(rig.file("2017-05-27_101600.s2"), "<missing>");
    // Each flush hands its chunk's packet bytes to the upload.
    ASSERT_EQ(rig.http.sent.size(), 2u);
    EXPECT_NE(rig.http.sent[1].request.body.find("2017-05-27_101600_"), std::string::npos);
    EXPECT_TRUE(rig.controller->acquisition().uploadBuffer.empty());
}

TEST(RecordingWriter, StopAndStartOpenANewStreamAndCountersCarryOver)
{
    MonitorRig rig;
    rig.load();
    rig.press(&ViewController::startClick);
    rig.stream(300);
    rig.press(&ViewController::stopClick);
    rig.stream(100); // stopped in the foreground: no flush, text keeps growing
    EXPECT_EQ(rig.files.files.size(), 2u);
    rig.press(&ViewController::startClick);
    // 32 packets were counted before Stop; 236 more complete the chunk.
    rig.stream(236);
    const std::string second = chunkFileStamp(rig.runtime.now());
    EXPECT_EQ(rig.file(second + ".ecg"), chunkText(268, 32) + chunkText(300, 100) + chunkText(400, 236));
    const std::string stream = rig.file(second + ".s2");
    EXPECT_EQ(stream, records(400, 236) + streamHeader("", second));
}

TEST(RecordingWriter, StoppedForLongOnlyTheLatestChunkBeforeStartIsKept)
{
    MonitorRig rig;
    rig.load();
    rig.press(&ViewController::startClick);
    rig.stream(300);
    rig.press(&ViewController::stopClick);
    std::size_t largestText = 0, largestStream = 0, largestUpload = 0;
    for (int i = 0; i < 10; ++i) { // ten chunks' worth while stopped: memory stays flat
        rig.stream(268);
        Acquisition& acq = rig.controller->acquisition();
        std::lock_guard lock(acq.bufferMutex);
        largestText = std::max(largestText, acq.sampleText.size());
        largestStream = std::max(largestStream, acq.recordBuffer.size());
        largestUpload = std::max(largestUpload, acq.uploadBuffer.size());
    }
    EXPECT_LT(largestText, chunkText(0, 32 + 2 * 268).size());
    EXPECT_LT(largestStream, records(0, 32 + 2 * 268).size());
    EXPECT_LT(largestUpload, (32 + 2 * 268) * 20u);
    rig.press(&ViewController::startClick);
    rig.stream(236);
    const std::string second = chunkFileStamp(rig.runtime.now());
    // The counted packets from before Stop stay; of the stopped ones only the latest 268.
    EXPECT_EQ(rig.file(second + ".ecg"), chunkText(268, 32) + chunkText(300 + 2680 - 268, 268) + chunkText(2980, 236));
    EXPECT_EQ(rig.file(second + ".s2"), records(2980, 236) + streamHeader("", second));
    EXPECT_EQ(std::count_if(rig.log.lines.begin(), rig.log.lines.end(),
                            [](const std::string& line) { return line.rfind("Not recording:", 0) == 0; }),
              1);
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
    rig.controller->acquisition().sampleText = "7 8 9 ";
    rig.runtime.bluetoothQueue().async([&] { rig.controller->writer().writeTickToFile(); });
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
    EXPECT_TRUE(rig.controller->acquisition().uploadBuffer.empty());
}

TEST(RecordingWriter, FailedWritesAreReportedOnceAndBuffersStillEmptied)
{
    MonitorRig rig;
    rig.files.failEndings = {".ecg", ".s2"};
    ViewController& vc = rig.load();
    rig.press(&ViewController::startClick);
    rig.stream(268 * 2);
    EXPECT_TRUE(rig.files.files.empty());
    EXPECT_EQ(std::count(rig.view.toasts.begin(), rig.view.toasts.end(), "Recording could not be saved."), 1);
    EXPECT_TRUE(rig.log.contains("Could not save /docs/2017-05-27_101530.ecg: No space left on device"));
    EXPECT_TRUE(rig.log.contains("Could not save /docs/2017-05-27_101530.s2"));
    EXPECT_TRUE(rig.log.contains("Could not save /docs/2017-05-27_101600.ecg"));
    EXPECT_TRUE(vc.acquisition().sampleText.empty());
    EXPECT_TRUE(vc.acquisition().recordBuffer.empty());
}

TEST(RecordingWriter, MarkedEventKeepsThreeChunksNamedByTheClosingFlush)
{
    MonitorRig rig;
    ViewController& vc = rig.load();
    rig.appState.set(AppState::Background);
    rig.stream(268); // chunk 1
    rig.stream(100);
    vc.events().markPending();
    vc.events().setActivity("Walking");
    vc.events().setFeeling("none");
    rig.stream(168); // chunk 2 (marked)
    rig.stream(268); // chunk 3 closes the event
    const std::string closing = chunkFileStamp(rig.runtime.now());
    EXPECT_EQ(rig.file(closing + " Walking  .event"), chunkText(0, 268 * 3));
    EXPECT_FALSE(vc.events().pending());
    rig.stream(268); // back to idle: no second event file
    EXPECT_EQ(rig.files.files.size(), 4u + 1u + 1u);
}

} // namespace
} // namespace velorin
