// The collector as the recorder and scripts meet it: a process on a loopback port, spoken to over
// HTTP, leaving its files in the data directory.

#include "CollectorProcess.h"
#include "fakes/TempDir.h"
#include "net/Base64.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

namespace velorin {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* builtInKey = "5d07e1b94c2a4f86b3e0";
constexpr const char* jsonType = "application/json; charset=utf-8";

std::string uploadBody(const std::string& token, const std::string& name, const std::string& bytes)
{
    return json{{"token", token}, {"fileName", name}, {"baseData", encodeBase64(bytes)}}.dump();
}

std::string eventBody(const std::string& key, const std::string& activity)
{
    return json{{"VUApiKey", key}, {"Activity", activity}, {"PatientId", "1001"}, {"Date", "2017-05-27 14:30:12"}}
        .dump();
}

class CollectorRun : public ::testing::Test {
protected:
    TempDir m_temp{"velorin-collector-e2e"};
    std::string m_data = m_temp.path() + "/data";

    std::unique_ptr<CollectorProcess> start(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--port", "0", "--data", m_data});
        return std::make_unique<CollectorProcess>(args, m_temp.path() + "/collector.log");
    }
    static std::unique_ptr<httplib::Client> client(int port)
    {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", port);
        c->set_connection_timeout(10);
        c->set_read_timeout(30);
        c->set_tcp_nodelay(true);
        return c;
    }
    std::string stored(const std::string& name) const
    {
        std::ifstream in(m_data + "/uploads/" + name, std::ios::binary);
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : std::string("<missing>");
    }
};

// What the answers hold is checked on the collector itself, and a login through it by the recorder's
// own end-to-end test, the body limits on the collector's server; here, that HTTP carries uploads
// and events both ways.
TEST_F(CollectorRun, UploadsAndEventsOverHttp)
{
    auto collector = start({});
    ASSERT_GT(collector->port(), 0);
    auto c = client(collector->port());
    const std::string path = "/Ecg/WriteTicksBase";
    const std::string name = "2017-05-27_143000_0.000000_0.000000.ecg";
    const std::string packets("\x00\x01\x02\xFF\xFE", 5);
    auto post = [&](const std::string& body) { return c->Post(path, body, jsonType); };

    auto first = post(uploadBody(builtInKey, name, packets));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->status, 200);
    EXPECT_EQ(json::parse(first->body)["result"], "stored");
    EXPECT_EQ(post(eventBody(builtInKey, "Walking"))->status, 200);
    EXPECT_EQ(post(eventBody("0123456789abcdef0123", "Walking"))->status, 403);
    EXPECT_EQ(c->Get("/nothing/here")->status, 404);

    EXPECT_EQ(stored(name), packets);
    const std::vector<json> lines = collectedEvents(m_data);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["Activity"], "Walking");
    const json counts = collector->stats();
    EXPECT_EQ(counts["uploads"], 1);
    EXPECT_EQ(counts["rejected"], 1);

    EXPECT_EQ(collector->stop(SIGINT), 0);
}

TEST_F(CollectorRun, ABurstOfConcurrentRequestsIsAnsweredAndStoredIntact)
{
    auto collector = start({});
    ASSERT_GT(collector->port(), 0);
    constexpr int threads = 20, perThread = 25, sharedContents = 3;
    auto bytesOf = [](int t, int i) {
        std::string bytes(2000 + t * 37 + i, '\0');
        for (std::size_t k = 0; k < bytes.size(); ++k)
            bytes[k] = static_cast<char>(k * 31 + t * 7 + i);
        return bytes;
    };
    std::atomic<int> answered{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&, t] {
            auto c = client(collector->port());
            c->set_keep_alive(t % 2 == 0); // half keep their connection, half open one per request
            for (int i = 0; i < perThread; ++i) {
                std::string body;
                if (i % 5 == 0)
                    body = eventBody(builtInKey, "Walking " + std::to_string(t));
                else if (i % 5 == 1)
                    body = uploadBody(builtInKey, "shared.ecg",
                                      std::string(100, static_cast<char>('a' + (t + i) % sharedContents)));
                else
                    body = uploadBody(builtInKey, "t" + std::to_string(t) + "_" + std::to_string(i) + ".ecg",
                                      bytesOf(t, i));
                const auto answer = c->Post("/Ecg/WriteTicksBase", body, jsonType);
                if (answer && answer->status == 200 && !answer->body.empty())
                    ++answered;
            }
        });
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(answered, threads * perThread);

    const json counts = collector->stats();
    EXPECT_EQ(counts["events"], threads * perThread / 5);
    EXPECT_EQ(counts["uploads"], threads * perThread * 3 / 5 + 1);
    EXPECT_EQ(counts["parts"], sharedContents - 1);
    EXPECT_EQ(counts["duplicates"], threads * perThread / 5 - sharedContents);
    EXPECT_EQ(counts["rejected"], 0);

    for (int t = 0; t < threads; ++t)
        for (int i = 2; i < perThread; i += (i % 5 == 4 ? 3 : 1))
            ASSERT_EQ(stored("t" + std::to_string(t) + "_" + std::to_string(i) + ".ecg"), bytesOf(t, i))
                << t << " " << i;
    std::set<std::string> shared{stored("shared.ecg"), stored("shared.ecg~1"), stored("shared.ecg~2")};
    EXPECT_EQ(shared.size(), 3u);
    EXPECT_EQ(shared.count("<missing>"), 0u);
    EXPECT_EQ(collectedEvents(m_data).size(), static_cast<std::size_t>(threads * perThread / 5));
    EXPECT_TRUE(fs::is_empty(m_data + "/.incoming"));
    EXPECT_EQ(collector->stop(), 0);
}

} // namespace
} // namespace velorin
