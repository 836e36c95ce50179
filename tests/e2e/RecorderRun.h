#pragma once

// Runs the velorin-record binary in a fresh directory as a user would, and reads back what it
// printed and the files it wrote.

#include "../fakes/TempDir.h"
#include "ExecProgram.h"
#include "platform/PosixFiles.h"
#include "sensor/sim/StreamFileReader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velorin {

inline std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

class RecorderRun : public ::testing::Test {
protected:
    // The program under test: the recorder unless a test runs the desktop application.
    const char* m_program = VELORIN_RECORD_BIN;
    TempDir m_temp{"velorin-e2e"};
    const std::string m_dir = m_temp.path();
    std::string docs = m_dir + "/docs";
    std::string settings = m_dir + "/config/settings.json";

    std::string write(const std::string& name, const std::string& text)
    {
        const std::string path = m_dir + "/" + name;
        EXPECT_TRUE(files.writeAtomically(path, text).ok);
        return path;
    }

    // inChild runs in the child just before the recorder starts (limits, pipes, environment).
    RunResult run(std::vector<std::string> args, const std::function<void()>& inChild = {})
    {
        args.insert(args.begin(), {"--documents", docs, "--settings", settings});
        return runAsGiven(args, inChild);
    }
    // On virtual time, the terms accepted.
    RunResult sim(std::vector<std::string> args, const std::function<void()>& inChild = {})
    {
        args.insert(args.begin(), {"--accept-terms", "--clock", "virtual"});
        return run(std::move(args), inChild);
    }

    // Starts the program with the arguments as given, its output going to m_dir's stdout and stderr.
    pid_t spawn(const std::vector<std::string>& args, const std::function<void()>& inChild = {})
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int out = ::open((m_dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = ::open((m_dir + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out, 1);
            ::dup2(err, 2);
            ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
            if (inChild)
                inChild();
            execProgram(m_program, args);
        }
        return pid;
    }

    // Without the test's documents and settings in front (for the login command).
    RunResult runAsGiven(const std::vector<std::string>& args, const std::function<void()>& inChild = {})
    {
        const pid_t pid = spawn(args, inChild);
        int status = 0;
        ::waitpid(pid, &status, 0);
        RunResult result;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        files.readAll(m_dir + "/stdout", result.out, 1u << 30);
        files.readAll(m_dir + "/stderr", result.err, 1u << 30);
        return result;
    }

    // A program started in the background with spawn, killed if a test leaves it running.
    pid_t m_pid = -1;
    RunResult m_result;
    ~RecorderRun() override
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }

    std::string printed(const char* stream)
    {
        std::string text;
        files.readAll(m_dir + "/" + stream, text, 1u << 30);
        return text;
    }

    // Until what the program printed (either stream) holds text `times` times; false after the limit.
    bool waitFor(const std::string& text, std::size_t times = 1, std::chrono::seconds limit = std::chrono::seconds(20))
    {
        return waitUntil([&] { return count(printed("stdout") + printed("stderr"), text) >= times; },
                         std::to_string(times) + " x \"" + text + "\"", limit);
    }
    bool waitUntil(const std::function<bool()>& done, const std::string& what,
                   std::chrono::seconds limit = std::chrono::seconds(20))
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "waited " << limit.count() << " s for " << what << "\n"
                              << printed("stdout") << printed("stderr");
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    // Stops the program as the desktop would (SIGTERM); what it printed is in m_result.
    int finish()
    {
        ::kill(m_pid, SIGTERM);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        m_result = {WIFEXITED(status) ? WEXITSTATUS(status) : -1, printed("stdout"), printed("stderr")};
        return m_result.status;
    }

    // The recording files; the upload's Buffer directories are left out (no server runs here).
    std::set<std::string> listDocs() const
    {
        std::set<std::string> names;
        if (DIR* dir = ::opendir(docs.c_str())) {
            while (dirent* entry = ::readdir(dir))
                if (entry->d_name[0] != '.' && std::string_view(entry->d_name) != "Buffer" &&
                    std::string_view(entry->d_name) != "EventBuffer")
                    names.insert(entry->d_name);
            ::closedir(dir);
        }
        return names;
    }

    std::string doc(const std::string& name)
    {
        std::string bytes;
        files.readAll(docs + "/" + name, bytes, 1u << 30);
        return bytes;
    }

    PosixFiles files;
};

inline std::string hex(const std::vector<std::uint8_t>& bytes)
{
    std::string text;
    char pair[4];
    for (auto b : bytes) {
        std::snprintf(pair, sizeof pair, "%02X ", b);
        text += pair;
    }
    return text;
}

inline const std::string simSensorId = "7A3F1C20-5B8D-4E61-9C0A-000000000001";

// The packets of a recording stream; a stream that does not read fails the test.
inline std::vector<std::vector<std::uint8_t>> streamPackets(std::string_view bytes, const std::string& name = "s.s2")
{
    std::vector<std::vector<std::uint8_t>> packets;
    const ReplayResult read = parseStreamFile(bytes, name);
    if (const auto* error = std::get_if<ReplayError>(&read))
        ADD_FAILURE() << describe(*error);
    else
        for (const ReplayUpdate& update : std::get<0>(read))
            packets.push_back(update.value);
    return packets;
}

inline std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

} // namespace velorin
