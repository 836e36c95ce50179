#pragma once

// Runs the velorin-collector binary on a free loopback port and reads the port it prints; stops it
// with a signal and reports how it ended.

#include "ExecProgram.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace velorin {

class CollectorProcess {
public:
    // Its log goes to logPath, so that a long run never fills a pipe nobody reads.
    CollectorProcess(std::vector<std::string> args, std::string logPath) : m_logPath(std::move(logPath))
    {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            const int err = ::open(m_logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(out[1], 1);
            ::dup2(err, 2);
            execProgram(VELORIN_COLLECTOR_BIN, args);
        }
        ::close(out[1]);
        m_stdout = out[0];
        readPort();
    }
    ~CollectorProcess()
    {
        if (m_pid > 0 && !m_ended)
            stop(SIGKILL);
        if (m_stdout >= 0)
            ::close(m_stdout);
    }
    CollectorProcess(const CollectorProcess&) = delete;
    CollectorProcess& operator=(const CollectorProcess&) = delete;

    // 0 until the collector has printed where it listens (or when it ended first).
    int port() const { return m_port; }

    // Sends the signal and waits, in a bounded loop, for the process to end; returns its exit status
    // (128 + the signal when one ended it, -1 when it had to be killed).
    int stop(int signal = SIGTERM)
    {
        if (m_ended || m_pid <= 0)
            return m_status;
        ::kill(m_pid, signal);
        m_ended = true;
        int status = 0;
        for (int i = 0; i < 2000; ++i) { // up to 20 s
            const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
            if (done == m_pid) {
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                return m_status;
            }
            ::poll(nullptr, 0, 10);
        }
        ADD_FAILURE() << "the collector did not end";
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &status, 0);
        m_status = -1;
        return m_status;
    }

    // Its counters, asked over HTTP; null when there is no answer.
    nlohmann::json stats() const
    {
        httplib::Client client("127.0.0.1", m_port);
        const auto answer = client.Get("/stats");
        return answer && answer->status == 200 ? nlohmann::json::parse(answer->body) : nlohmann::json();
    }

    std::string log() const
    {
        std::ifstream in(m_logPath);
        return {std::istreambuf_iterator<char>(in), {}};
    }

private:
    void readPort()
    {
        // Up to 20 s for the first line, in slices, so a collector that never prints cannot hang a test.
        for (int slice = 0; slice < 200 && m_line.find('\n') == std::string::npos; ++slice) {
            pollfd p{m_stdout, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(m_stdout, buffer, sizeof buffer);
            if (n <= 0)
                break;
            m_line.append(buffer, static_cast<std::size_t>(n));
        }
        const std::string prefix = "listening on 127.0.0.1:";
        if (m_line.rfind(prefix, 0) == 0 && m_line.find('\n') != std::string::npos)
            m_port = std::stoi(m_line.substr(prefix.size()));
    }

    std::string m_logPath;
    pid_t m_pid = -1;
    int m_stdout = -1;
    int m_port = 0;
    int m_status = -1;
    bool m_ended = false;
    std::string m_line;
};

// The events a collector has kept in the data directory, one JSON object a line.
inline std::vector<nlohmann::json> collectedEvents(const std::string& data)
{
    std::vector<nlohmann::json> found;
    std::ifstream in(data + "/events.jsonl");
    for (std::string line; std::getline(in, line);)
        found.push_back(nlohmann::json::parse(line)); // a torn line throws
    return found;
}

} // namespace velorin
