#include "sensor/sim/ReplayFile.h"

#include "platform/PosixFiles.h"
#include "signal/StreamFormat.h"

#include "../fakes/MemoryFiles.h"
#include "../fakes/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace velorin {
using namespace std::chrono_literals;
namespace {

// The replay's updates as a list, or the problem as it is shown.
std::variant<std::vector<ReplayUpdate>, std::string> played(Files& files, const std::string& path)
{
    ReplayError error;
    const auto source = openReplay(files, path, error);
    if (!source)
        return describe(error);
    ReplayResult result = readAllUpdates(*source);
    if (const auto* problem = std::get_if<ReplayError>(&result))
        return describe(*problem);
    return std::get<0>(std::move(result));
}

std::string checked(Files& files, const std::string& path)
{
    const auto problem = checkReplay(files, path);
    return problem ? describe(*problem) : "ok";
}

TEST(ReplayFile, TheNameChoosesTheFormatAndProblemsNameThePath)
{
    MemoryFiles files;
    files.files = {{"/r/day.s2", std::string(streamFormat::recordLead) + std::string(20, 'A')},
                   {"/r/DAY.S2", ""},
                   {"/r/day.log", "@1 2A19: 50\n"},
                   {"/r/log.s2", "@1 2A19: 50\n"},
                   {"/r/day.s2.log", "10022"},
                   {"/r/bad.log", "01\n0G\n"}};
    using Updates = std::vector<ReplayUpdate>;
    EXPECT_EQ(std::get<Updates>(played(files, "/r/day.s2")).size(), 1u);
    EXPECT_TRUE(std::get<Updates>(played(files, "/r/DAY.S2")).empty());
    EXPECT_EQ(std::get<Updates>(played(files, "/r/day.log")), (Updates{{1000ms, "2A19", {0x50}}}));
    EXPECT_EQ(std::get<std::string>(played(files, "/r/log.s2")), "/r/log.s2: byte 0: unrecognised bytes");
    EXPECT_EQ(std::get<std::string>(played(files, "/r/day.s2.log")),
              "/r/day.s2.log:1: odd number of hex digits in '10022'");
    EXPECT_EQ(std::get<std::string>(played(files, "/r/bad.log")), "/r/bad.log:2: 'G' is not a hex digit");
    EXPECT_EQ(std::get<std::string>(played(files, "/r/missing.log")),
              "cannot read /r/missing.log: No such file or directory");

    EXPECT_EQ(checked(files, "/r/day.s2"), "ok");
    EXPECT_EQ(checked(files, "/r/day.log"), "ok");
    EXPECT_EQ(checked(files, "/r/bad.log"), "/r/bad.log:2: 'G' is not a hex digit");
    EXPECT_EQ(checked(files, "/r/log.s2"), "/r/log.s2: byte 0: unrecognised bytes");
    EXPECT_EQ(checked(files, "/r/missing.log"), "cannot read /r/missing.log: No such file or directory");

    std::string longLog;
    for (int i = 0; i < 5000; ++i)
        longLog += "01\n";
    files.files["/r/long.log"] = longLog + "@1 02\n";
    EXPECT_EQ(checked(files, "/r/long.log"), "/r/long.log:5001: time 1 is earlier than the previous update's 560");
}

TEST(ReplayFile, FifosDirectoriesAndDevicesAreRefusedAtOnce)
{
    TempDir dir("velorin-replay");
    PosixFiles files;
    for (const char* name : {"pipe.log", "pipe.s2"})
        ASSERT_EQ(::mkfifo((dir.path() + "/" + name).c_str(), 0600), 0);
    for (const std::string& path :
         {dir.path() + "/pipe.log", dir.path() + "/pipe.s2", dir.path(), std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        ReplayError error;
        EXPECT_FALSE(openReplay(files, path, error));
        EXPECT_EQ(describe(error), "cannot read " + path + ": not a regular file");
        EXPECT_EQ(checked(files, path), "cannot read " + path + ": not a regular file");
    }
    files.writeAtomically(dir.path() + "/day.log", "01\n02\n");
    EXPECT_EQ(checked(files, dir.path() + "/day.log"), "ok");
}

} // namespace
} // namespace velorin
