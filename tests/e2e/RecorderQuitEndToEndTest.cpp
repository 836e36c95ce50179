// The end of a run keeps what was gathered: a recorder ended by SIGTERM leaves its last partial chunk.

#include "RecorderRun.h"
#include "recording/StreamRecords.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>

namespace velorin {
namespace {

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

// The one file of the documents directory with that extension; empty when there is not exactly one.
std::string onlyFile(const std::set<std::string>& names, const std::string& extension)
{
    std::string found;
    for (const std::string& name : names)
        if (name.size() > extension.size() && name.ends_with(extension)) {
            if (!found.empty())
                return {};
            found = name;
        }
    return found;
}

const std::string simSensorId = "7A3F1C20-5B8D-4E61-9C0A-000000000001";

TEST_F(RecorderRun, SigtermKeepsTheLastPartialChunkAndItsStreamReplaysPacketForPacket)
{
    // In the background every packet counts; a few seconds of real time stay well short of a chunk.
    const std::string script = write("bg.script", "0 background\n0.5 choose 1\n");
    const std::string errPath = m_dir + "/stderr";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open((m_dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        execProgram(VELORIN_RECORD_BIN, {"--documents", docs, "--settings", settings, "--accept-terms", "-v",
                                         "--script", script});
    }
    ASSERT_GT(pid, 0);
    std::string log;
    for (int i = 0; i < 1000 && count(log, "Value <") < 5; ++i) { // up to 20 s
        ::usleep(20000);
        log.clear();
        files.readAll(errPath, log, 1u << 24);
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    files.readAll(errPath, log, 1u << 24);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << log;

    const std::set<std::string> names = listDocs();
    const std::string ecg = onlyFile(names, ".ecg"), s2 = onlyFile(names, ".s2");
    ASSERT_FALSE(ecg.empty()) << log;
    ASSERT_EQ(s2, ecg.substr(0, ecg.size() - 4) + ".s2");
    const std::string stamp = ecg.substr(0, ecg.size() - 4);
    const std::string text = doc(ecg), stream = doc(s2);
    const std::size_t packets = count(text, " ") / 14;
    EXPECT_GE(packets, 5u);
    EXPECT_EQ(count(text, " "), packets * 14);
    const std::string header = streamHeader(simSensorId, stamp);
    ASSERT_TRUE(stream.ends_with(header));
    const std::string records = stream.substr(0, stream.size() - header.size());
    EXPECT_EQ(records.size(), packets * (5 + 20));

    // The stream played back in the background gives the same chunk text and the same records.
    const std::string replayScript = write("replay.script", "0 background\n");
    const std::string source = docs + "/" + s2;
    docs += "-again";
    const RunResult replay =
        run({"--accept-terms", "--clock", "virtual", "--sensor", "replay:" + source, "--script", replayScript});
    ASSERT_EQ(replay.status, 0) << replay.err;
    const std::set<std::string> replayed = listDocs();
    const std::string ecg2 = onlyFile(replayed, ".ecg");
    ASSERT_FALSE(ecg2.empty());
    EXPECT_EQ(doc(ecg2), text);
    const std::string stamp2 = ecg2.substr(0, ecg2.size() - 4);
    EXPECT_EQ(doc(stamp2 + ".s2"), records + streamHeader(simSensorId, stamp2));
}

} // namespace
} // namespace velorin
