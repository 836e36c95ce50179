#include "../fakes/FakeLog.h"
#include "../fakes/TempDir.h"
#include "platform/PosixFiles.h"
#include "recording/RecordingFiles.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace velorin {
namespace {

TEST(RecordingFiles, KeptOpenFileFollowsItsNameWhenMovedOrRemoved)
{
    TempDir dir("velorin-recording");
    PosixFiles files;
    FakeLog log;
    RecordingFiles recording(files, log, {});
    RecordingFiles::Appender bpm(recording, dir.path() + "/a.bpm");
    auto read = [&](const std::string& name) {
        std::string bytes;
        files.readAll(dir.path() + "/" + name, bytes, 1u << 30);
        return bytes;
    };

    EXPECT_TRUE(bpm.append("72 "));
    EXPECT_TRUE(bpm.append("73 "));
    EXPECT_EQ(read("a.bpm"), "72 73 ");

    ASSERT_EQ(std::rename((dir.path() + "/a.bpm").c_str(), (dir.path() + "/old.bpm").c_str()), 0);
    EXPECT_TRUE(bpm.append("74 "));
    EXPECT_EQ(read("old.bpm"), "72 73 ");
    EXPECT_EQ(read("a.bpm"), "74 ");

    ASSERT_EQ(std::remove((dir.path() + "/a.bpm").c_str()), 0);
    EXPECT_TRUE(bpm.append("75 "));
    EXPECT_EQ(read("a.bpm"), "75 ");
    EXPECT_TRUE(log.lines.empty());
}

} // namespace
} // namespace velorin
