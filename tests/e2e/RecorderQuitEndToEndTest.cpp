// The end of a run keeps what was gathered: a recorder ended by SIGTERM leaves its last partial chunk.
// (That a stream replays packet for packet is shown on virtual time beside the hostile-input runs.)

#include "RecorderRun.h"
#include "signal/StreamFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace velorin {
namespace {

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

TEST_F(RecorderRun, SigtermKeepsTheLastPartialChunkWithItsStream)
{
    // In the background every packet counts; a few seconds of real time stay well short of a chunk.
    const std::string script = write("bg.script", "0 background\n0.5 choose 1\n");
    m_pid = spawn({"--documents", docs, "--settings", settings, "--accept-terms", "-v", "--script", script});
    ASSERT_GT(m_pid, 0);
    ASSERT_TRUE(waitFor("Value <", 5));
    ASSERT_EQ(finish(), 0) << m_result.err;
    const std::string& log = m_result.err;

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
    // Packet records only before the header: what the chunk text holds is in the stream, whole.
    EXPECT_EQ(stream.size() - header.size(), packets * (5 + 20));
}

} // namespace
} // namespace velorin
