#include "../fakes/FakeLog.h"
#include "../fakes/TempDir.h"
#include "platform/PosixFiles.h"
#include "recording/RecordingFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

namespace velorin {
namespace {

struct RecordingDir {
    TempDir dir{"velorin-recording"};
    PosixFiles files;
    FakeLog log;
    std::vector<std::string> notices;
    RecordingFiles recording{files, log, [this](const std::string& text) { notices.push_back(text); }};

    std::string path(const std::string& name) const { return dir.path() + "/" + name; }
    std::string read(const std::string& name)
    {
        std::string bytes;
        files.readAll(path(name), bytes, 1u << 30);
        return bytes;
    }
};

TEST(RecordingFiles, KeptOpenFileFollowsItsNameWhenMovedOrRemoved)
{
    RecordingDir r;
    RecordingFiles::Appender bpm(r.recording, r.path("a.bpm"));
    EXPECT_TRUE(bpm.append("72 "));
    EXPECT_TRUE(bpm.append("73 "));
    EXPECT_EQ(r.read("a.bpm"), "72 73 ");

    ASSERT_EQ(std::rename(r.path("a.bpm").c_str(), r.path("old.bpm").c_str()), 0);
    EXPECT_TRUE(bpm.append("74 "));
    EXPECT_EQ(r.read("old.bpm"), "72 73 ");
    EXPECT_EQ(r.read("a.bpm"), "74 ");

    ASSERT_EQ(std::remove(r.path("a.bpm").c_str()), 0);
    EXPECT_TRUE(bpm.append("75 "));
    EXPECT_EQ(r.read("a.bpm"), "75 ");
    EXPECT_TRUE(r.log.lines.empty());
}

TEST(RecordingFiles, PlantedLinksFifosAndDirectoriesAreRefusedNeverWrittenThrough)
{
    RecordingDir r;
    const std::string victim = r.path("victim");
    std::ofstream(victim) << "mine";
    std::filesystem::create_symlink(victim, r.path("a.ecg"));
    std::filesystem::create_symlink(r.path("nowhere"), r.path("b.ecg"));
    ASSERT_EQ(::mkfifo(r.path("c.s2").c_str(), 0600), 0);
    std::filesystem::create_directory(r.path("d.ecg"));
    std::filesystem::create_hard_link(victim, r.path("e.s2"));

    for (const char* name : {"a.ecg", "b.ecg", "c.s2", "d.ecg", "e.s2"})
        EXPECT_FALSE(r.recording.writeOrAppend(r.path(name), "1 2 3 ")) << name; // a FIFO would hang here
    RecordingFiles::Appender bpm(r.recording, r.path("a.ecg"));
    EXPECT_FALSE(bpm.append("72 "));

    EXPECT_EQ(r.read("victim"), "mine");
    EXPECT_FALSE(std::filesystem::exists(r.path("nowhere")));
    EXPECT_TRUE(std::filesystem::is_symlink(r.path("b.ecg")));
    EXPECT_EQ(r.notices, std::vector<std::string>{"Recording could not be saved."});
    EXPECT_TRUE(r.recording.anyFailed());
}

// A link planted between the look at the name and the write: the new file is never given a name
// that something has, so the link's target stays untouched.
TEST(RecordingFiles, ALinkPlantedAtTheLastMomentIsNotWrittenThrough)
{
    struct PlantingFiles : PosixFiles {
        std::string victim;
        FileResult createAtomically(const std::string& path, std::string_view bytes, bool& taken,
                                    unsigned mode) override
        {
            std::filesystem::create_symlink(victim, path);
            return PosixFiles::createAtomically(path, bytes, taken, mode);
        }
    };
    TempDir dir("velorin-recording");
    PlantingFiles files;
    files.victim = dir.path() + "/victim";
    std::ofstream(files.victim) << "mine";
    FakeLog log;
    RecordingFiles recording(files, log, {});
    EXPECT_FALSE(recording.writeOrAppend(dir.path() + "/a.ecg", "1 2 3 "));
    std::string bytes;
    files.readAll(files.victim, bytes, 100);
    EXPECT_EQ(bytes, "mine");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2); // no temporary file left
}

// A file-size limit makes the disk "full" part-way through a write, as a full disk or a quota would.
TEST(RecordingFiles, AnAppendThatCannotBeWrittenWholeIsCutBackOff)
{
    RecordingDir r;
    ASSERT_TRUE(r.recording.writeOrAppend(r.path("x.ecg"), "511 512 "));
    RecordingFiles::Appender bpm(r.recording, r.path("x.bpm"));
    ASSERT_TRUE(bpm.append("72 "));

    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 12;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool chunk = r.recording.writeOrAppend(r.path("x.ecg"), "513 514 515 ");
    const bool reading = bpm.append("73 74 75 76 ");
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(chunk);
    EXPECT_FALSE(reading);
    EXPECT_EQ(r.read("x.ecg"), "511 512 ");
    EXPECT_EQ(r.read("x.bpm"), "72 ");
    EXPECT_TRUE(r.recording.anyFailed());
    EXPECT_TRUE(r.recording.writeOrAppend(r.path("x.ecg"), "516 ")); // room again: appends go on
    EXPECT_EQ(r.read("x.ecg"), "511 512 516 ");
}

} // namespace
} // namespace velorin
