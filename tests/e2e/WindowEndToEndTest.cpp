// The desktop application driven by a script in an offscreen window: what a user's hands do to the
// window while it records must not cost a packet.

#include "RecorderRun.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace velorin {
namespace {

class WindowRun : public RecorderRun {
protected:
    WindowRun() { m_program = VELORIN_BIN; }
};

TEST_F(WindowRun, ResizingAndMinimizingDuringARecordingLoseNoPacket)
{
    ASSERT_TRUE(files.createDirectories(m_dir + "/config", 0700).ok);
    write("config/settings.json", R"({"termsAccept": true})");
    std::string script = "0.5 choose 1 1234\n1.5 start\n";
    for (int i = 0; i < 100; ++i) {
        const double at = 2.0 + i * 0.1;
        script += std::to_string(at) + " minimize\n" + std::to_string(at + 0.05) + " restore\n";
        if (i % 10 == 0)
            script += std::to_string(at + 0.02) + " resize 1 1\n" + std::to_string(at + 0.07) + " resize 1024 600\n";
    }
    // A FIFO named as a screenshot is refused, never waited on, during the run and at its end.
    const std::string fifo = m_dir + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    script += "12.5 tap\n13 screenshot " + fifo + "\n13.5 tap\n14 quit\n";
    // --duration only ends a run that the script failed to end.
    const RunResult run = this->run({"--sensor", "sim", "--duration", "60", "--script", write("window.txt", script)},
                                    [&] {
                                        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
                                        ::setenv("VELORIN_SCREENSHOT", fifo.c_str(), 1);
                                        ::alarm(120); // a run that hangs fails instead of holding the tests
                                    });
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("screenshot: cannot write " + fifo), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Cannot save the screenshot " + fifo), std::string::npos) << run.err;

    // The simulated sensor's packet counters (bytes 18 and 19) in stream order.
    std::vector<unsigned> counters;
    for (const std::string& name : listDocs())
        if (name.ends_with(".s2"))
            for (const auto& packet : streamPackets(doc(name), name))
                counters.push_back(packet.at(18) | packet.at(19) << 8);
    // About 9 packets a second for 12.5 s; the bound only guards against a run that never recorded.
    ASSERT_GT(counters.size(), 50u) << run.err;
    for (std::size_t i = 1; i < counters.size(); ++i)
        ASSERT_EQ(counters[i], (counters[i - 1] + 1) & 0xFFFF) << "packet " << i << " of " << counters.size();
}

} // namespace
} // namespace velorin
