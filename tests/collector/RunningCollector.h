#pragma once

// A CollectorServer serving on its own thread, on a free loopback port and a fresh data directory.

#include "CollectorServer.h"
#include "fakes/TempDir.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <mutex>
#include <thread>

namespace velorin {

// The server logs from all of its threads at once; nothing here reads it.
class SharedLog : public Log {
public:
    void line(std::string_view) override {}
};

class RunningCollector {
public:
    explicit RunningCollector(HttpLimits limits = {}) : m_server(options(m_temp.path()), 7, m_log, limits)
    {
        std::string problem;
        if (!m_server.open(problem)) {
            ADD_FAILURE() << problem;
            return;
        }
        m_thread = std::thread([this] {
            m_server.run();
            m_ended = true;
        });
    }
    ~RunningCollector()
    {
        m_server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }

    int port() const { return m_server.port(); }
    void stop() { m_server.stop(); }
    bool ended() const { return m_ended; }

    nlohmann::json stats() const
    {
        httplib::Client client("127.0.0.1", port());
        client.set_read_timeout(10);
        const auto answer = client.Get("/stats");
        return answer && answer->status == 200 ? nlohmann::json::parse(answer->body) : nlohmann::json();
    }

private:
    static CollectorOptions options(const std::string& dir)
    {
        CollectorOptions o;
        o.dataDir = dir + "/data";
        return o;
    }

    TempDir m_temp{"velorin-collector-server"};
    SharedLog m_log;
    CollectorServer m_server;
    std::thread m_thread;
    std::atomic<bool> m_ended{false};
};

} // namespace velorin
