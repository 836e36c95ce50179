#include "ReportTool.h"
#include "TinyStream.h"
#include "fakes/TempDir.h"
#include "platform/ByteReader.h"
#include "platform/PosixFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velorin {
namespace {

class ReportTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        useCentralEuropeanTime();
        write(m_dir.path() + "/2026-12-07_043300.s2", tinyStream());
        write(m_dir.path() + "/2026-12-07_043300.ecg", "1 2 3 ");
        write(m_dir.path() + "/settings.json", R"({"Name": "Ann Lee", "Gender": 1})");
    }

    static void write(const std::string& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }

    // The tool's exit status; a tool that hangs (on a FIFO, say) is killed and fails the test.
    int run(const std::string& arguments, const std::string& errors = "/dev/null")
    {
        // Under the sanitizers the PDF report's web engine (Chromium) reports faults of its own: a
        // delete by a smaller type and allocations kept to the end; only those are turned off.
        const std::string command = "ASAN_OPTIONS=$ASAN_OPTIONS:new_delete_type_mismatch=0 "
                                    "LSAN_OPTIONS=suppressions=" VELORIN_WEBENGINE_LSAN_SUPPRESSIONS " "
                                    "timeout 20 " VELORIN_REPORT_BIN " " + arguments + " --documents " +
                                    m_dir.path() + " --settings " + m_dir.path() + "/settings.json 2>" + errors;
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string out(const std::string& name) const { return m_dir.path() + "/" + name; }

    TempDir m_dir{"velorin-report"};
};

TEST_F(ReportTool, ExitStatusesSayWhatHappened)
{
    EXPECT_EQ(run("2026-12-07_043300.s2 --edf " + out("a.edf") + " --csv " + out("a.csv")), 0);
    std::ifstream edf(out("a.edf"), std::ios::binary);
    std::string head(256, '\0');
    edf.read(head.data(), 256);
    EXPECT_TRUE(head.starts_with("0       X F X Ann_Lee ")) << head;
    EXPECT_TRUE(std::ifstream(out("a.csv")).good());

    EXPECT_EQ(run("2026-12-07_043300.ecg --edf " + out("b.edf")), 2); // wrong kind
    EXPECT_EQ(run("2026-12-07_043300.s2 --edf " + out("2026-12-07_043300.s2")), 2);

    EXPECT_EQ(run("missing.s2 --edf " + out("b.edf")), 1);
    ASSERT_EQ(::mkdir(out("folder.s2").c_str(), 0755), 0);
    EXPECT_EQ(run("folder.s2 --edf " + out("b.edf")), 1);
    ASSERT_EQ(::mkfifo(out("fifo.s2").c_str(), 0644), 0);
    EXPECT_EQ(run("fifo.s2 --csv " + out("b.csv")), 1);
    write(out("headless.s2"), packetRecord(rampPacket(1)));
    EXPECT_EQ(run("headless.s2 --edf " + out("b.edf")), 1);
    EXPECT_EQ(run("2026-12-07_043300.s2 --edf " + out("no/such/dir/b.edf")), 1);
    EXPECT_EQ(run("2026-12-07_043300.s2 --csv " + out("folder.s2")), 1);
    EXPECT_FALSE(std::ifstream(out("b.edf")).good());
    EXPECT_FALSE(std::ifstream(out("b.csv")).good());
}

TEST_F(ReportTool, OnlyARegularFileIsReplacedByAnOutput)
{
    // A FIFO or a device under the name (or behind a link there) would become a plain file.
    ASSERT_EQ(::mkfifo(out("fifo.csv").c_str(), 0644), 0);
    ASSERT_EQ(::symlink("fifo.csv", out("link.edf").c_str()), 0);
    EXPECT_EQ(run("2026-12-07_043300.s2 --csv " + out("fifo.csv")), 1);
    EXPECT_EQ(run("2026-12-07_043300.s2 --edf " + out("link.edf")), 1);
    struct stat st {};
    ASSERT_EQ(::stat(out("fifo.csv").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A name near the file system's limit of 255 bytes still has room for its temporary file.
    const std::string longName(250, 'n');
    EXPECT_EQ(run("2026-12-07_043300.s2 --edf " + out(longName + ".edf") + " --csv " + out(longName + ".csv")), 0);
    EXPECT_TRUE(std::ifstream(out(longName + ".edf")).good());
    EXPECT_TRUE(std::ifstream(out(longName + ".csv")).good());
    std::size_t names = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_dir.path()))
        ++names;
    EXPECT_EQ(names, 7u); // the three inputs, the FIFO, the link and the two outputs: no temporary file

    // Health data: a new output is its owner's only, and a replaced one keeps the mode it had.
    ASSERT_EQ(::stat(out(longName + ".edf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(::chmod(out(longName + ".csv").c_str(), 0640), 0);
    EXPECT_EQ(run("2026-12-07_043300.s2 --csv " + out(longName + ".csv")), 0);
    ASSERT_EQ(::stat(out(longName + ".csv").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A stream far larger than any recording is refused before it is read, not after 2 GiB of it.
TEST_F(ReportTool, AHugeStreamIsRefusedUnread)
{
    class CountingFiles : public PosixFiles {
    public:
        std::unique_ptr<ByteReader> openForReading(const std::string& path, FileResult& result) override
        {
            opened.push_back(path);
            return PosixFiles::openForReading(path, result);
        }
        std::vector<std::string> opened;
    };
    const std::string huge = out("huge.s2");
    write(huge, tinyStream());
    std::filesystem::resize_file(huge, (std::uintmax_t{1} << 31) + 1); // sparse: no disk taken
    ReportOptions options;
    options.file = huge;
    options.csv = out("a.csv");
    CountingFiles files;
    std::vector<std::string> said;
    EXPECT_EQ(runReport(options, files, {}, [&](std::string_view line) { said.emplace_back(line); }), 1);
    EXPECT_TRUE(files.opened.empty());
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("larger than 2147483648 bytes"), std::string::npos) << said[0];
}

// The tool reads someone else's settings: one it cannot use stays where it is, as it is.
TEST_F(ReportTool, TheSettingsAreOnlyRead)
{
    for (const std::string settings : {"my notes", R"({"Name": "Ann", "Age": {"not": "a date"}})"}) {
        write(out("settings.json"), settings);
        EXPECT_EQ(run("2026-12-07_043300.s2 --edf " + out("a.edf")), 0);
        std::ifstream file(out("settings.json"));
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>()), settings);
        EXPECT_FALSE(std::filesystem::exists(out("settings.json.corrupt")));
    }
}

TEST_F(ReportTool, ThePdfReportIsWrittenWholeOrNotAtAll)
{
    ASSERT_EQ(run("2026-12-07_043300.ecg --pdf " + out("a.pdf")), 0);
    std::ifstream file(out("a.pdf"), std::ios::binary);
    const std::string pdf((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(pdf.starts_with("%PDF-")) << pdf.substr(0, 16);
    EXPECT_NE(pdf.find("%%EOF"), std::string::npos);

    // A link named on the command line leads to the recording, as it does for the exports.
    ASSERT_EQ(::symlink(out("2026-12-07_043300.ecg").c_str(), out("latest.ecg").c_str()), 0);
    EXPECT_EQ(run("latest.ecg --pdf " + out("c.pdf")), 0);

    EXPECT_EQ(run("missing.ecg --pdf " + out("b.pdf")), 1);
    EXPECT_EQ(run("2026-12-07_043300.ecg --pdf " + out("no/such/dir/b.pdf")), 1);
    EXPECT_FALSE(std::ifstream(out("b.pdf")).good());
}

} // namespace
} // namespace velorin
