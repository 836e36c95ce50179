// The recorder under hostile conditions: a filling disk, a closed output, a second recorder, the
// last time it can hold.

#include "RecorderRun.h"
#include "platform/DirectoryLock.h"
#include "signal/StreamFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>

namespace velorin {
namespace {

namespace fs = std::filesystem;

TEST_F(RecorderRun, ASecondRecorderOnTheSameDirectoryIsTurnedAway)
{
    fs::create_directories(docs);
    {
        const DirectoryLock held(docs);
        ASSERT_EQ(held.state(), DirectoryLock::State::held);
        const RunResult second = sim({"--duration", "60"});
        EXPECT_EQ(second.status, 1);
        EXPECT_NE(second.err.find(docs + " is in use by another recorder (pid " + std::to_string(::getpid()) + ")"),
                  std::string::npos)
            << second.err;
        EXPECT_TRUE(listDocs().empty());
    }
    EXPECT_EQ(sim({"--duration", "60"}).status, 0); // let go

    // Settings pointed at the lock would be moved aside and replaced, and the lock with them.
    const RunResult intoLock = run({"--clock", "virtual", "--duration", "60", "--settings",
                                    docs + "/" + DirectoryLock::fileName});
    EXPECT_EQ(intoLock.status, 1);
    EXPECT_NE(intoLock.err.find("is the lock file of"), std::string::npos) << intoLock.err;

    // Something planted under the lock's name does not let a second recorder in unlocked.
    fs::remove(docs + "/" + DirectoryLock::fileName);
    fs::create_directory(docs + "/" + DirectoryLock::fileName);
    const RunResult planted = run({"--clock", "virtual", "--duration", "60"});
    EXPECT_EQ(planted.status, 1);
    EXPECT_NE(planted.err.find("cannot lock " + docs + " against a second recorder"), std::string::npos) << planted.err;
}

// A per-file size limit in the recorder makes the disk fill up under it part-way through a write.
TEST_F(RecorderRun, AFillingDiskLeavesNoTornFileAndEndsWithStatusFour)
{
    const auto fileLimit = [](rlim_t bytes) {
        return [bytes] {
            std::signal(SIGXFSZ, SIG_IGN); // kept across exec: writes fail instead of killing
            const rlimit limit{bytes, bytes};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        };
    };
    ASSERT_EQ(sim({"--duration", "1"}).status, 0);
    const RunResult r = run({"--clock", "virtual", "--start", "2017-05-27T10:15:00", "--duration", "900"},
                            fileLimit(100000));
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.out.find("notice Recording could not be saved."), std::string::npos);
    EXPECT_NE(r.err.find("Could not save " + docs + "/2017-05-27_101530.s2: cannot write"), std::string::npos);
    const std::string stream = doc("2017-05-27_101530.s2");
    EXPECT_LE(stream.size(), 100000u);
    // Whole records only: what is on disk reads back, packet for packet.
    EXPECT_EQ(streamPackets(stream).size() % 268, 0u);
    for (const std::string& name : listDocs()) // no temporary file left behind
        EXPECT_TRUE(name.ends_with(".ecg") || name.ends_with(".s2") || name.ends_with(".bpm")) << name;

    const RunResult nothing = run({"--clock", "virtual", "--duration", "40", "--documents", docs + "2"}, fileLimit(0));
    EXPECT_EQ(nothing.status, 4) << nothing.err;
}

TEST_F(RecorderRun, AClosedStandardOutputDoesNotEndTheRecording)
{
    // A fixed start: the rest flushed at the end must not fall into the last chunk's slot by chance.
    const std::vector<std::string> args = {"--accept-terms",      "--clock",    "virtual", "--start",
                                           "2017-05-27T10:15:00", "--duration", "600"};
    const RunResult r = run(args, [] {
        int ends[2];
        if (::pipe(ends) == 0) {
            ::close(ends[0]); // nobody will ever read
            ::dup2(ends[1], 1);
        }
    });
    EXPECT_EQ(r.status, 0) << r.err;
    // A chunk every 30.016 s from 29.9 s on: nineteen, the rest flushed at 600 s in a slot of its own,
    // their stream file and the heart-rate file.
    EXPECT_EQ(listDocs().size(), 19u + 1 + 1 + 1);
}

// Without a duration a run that starts at the last minute it can name ends by itself before the year 10000.
TEST_F(RecorderRun, ARunEndsBeforeTheYearTenThousand)
{
    const RunResult last = sim({"--start", "9999-12-31T23:58:00"});
    EXPECT_EQ(last.status, 0) << last.err;
    EXPECT_EQ(listDocs().count("9999-12-31_235930.ecg"), 1u);
    for (const std::string& name : listDocs())
        EXPECT_TRUE(name.starts_with("9999-12-31_")) << name;
}

TEST_F(RecorderRun, WhatTheRecorderWritesItReadsBackPacketForPacket)
{
    // Packets of every awkward length, some spelling the record lead, counted in the background.
    std::vector<std::vector<std::uint8_t>> sent;
    std::string log = "@0 2A37: " + std::string(40, '0') + "\n";
    for (int n = 0; sent.size() < 600; ++n)
        for (const std::size_t length : {0, 1, 18, 19, 20, 21, 255, 512}) {
            std::vector<std::uint8_t> packet(length);
            for (std::size_t i = 0; i < length; ++i)
                packet[i] = static_cast<std::uint8_t>(n * 31 + i * 7);
            if (length == 20 && n % 2 == 0)
                std::ranges::copy(streamFormat::recordLead, packet.begin() + 3);
            sent.push_back(packet);
            log += "2A37:" + hex(packet) + "\n";
        }
    const std::string logPath = write("odd.log", log);
    const std::string script = write("bg.script", "0 background\n");
    const RunResult first = sim(
        {"--start", "2017-05-27T10:15:00", "--script", script, "--sensor", "replay:" + logPath, "--duration", "600"});
    ASSERT_EQ(first.status, 0) << first.err;
    const auto recorded = streamPackets(doc("2017-05-27_101500.s2"));
    ASSERT_EQ(recorded.size(), 1u + 600); // two chunks, and the rest flushed when the run ended
    for (std::size_t i = 1; i < recorded.size(); ++i)
        ASSERT_EQ(recorded[i], sent[i - 1]) << i;

    // Replayed, the stream file gives the same packets to a second recording.
    const RunResult second = run({"--clock", "virtual", "--start", "2017-05-27T11:15:00", "--script", script,
                                  "--sensor", "replay:" + docs + "/2017-05-27_101500.s2", "--documents", docs + "2"});
    ASSERT_EQ(second.status, 0) << second.err;
    std::string again;
    // A stream file's first packet plays at 0.112 s, so the first chunk closes at 30.016 s.
    ASSERT_TRUE(files.readAll(docs + "2/2017-05-27_111530.s2", again, 1u << 30).ok);
    EXPECT_TRUE(streamPackets(again) == recorded);
}

} // namespace
} // namespace velorin
