// The collector's HTTP side against clients that do not play along: bodies and heads without end,
// and connections that stay idle or send a byte now and then.

#include "RawClient.h"
#include "RunningCollector.h"
#include "net/Base64.h"

#include <poll.h>

namespace velorin {
namespace {

using nlohmann::json;

constexpr std::size_t MiB = std::size_t{1} << 20;
// What the sockets between client and server hold on top of what the server read, and then some.
constexpr std::size_t inFlight = 16 * MiB;

std::string chunk(std::string_view data)
{
    char size[20];
    std::snprintf(size, sizeof size, "%zx\r\n", data.size());
    return size + std::string(data) + "\r\n";
}

std::string chunkedHead(const std::string& path, const std::string& type, const std::string& more = "")
{
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + type +
           "\r\nTransfer-Encoding: chunked\r\n" + more + "\r\n";
}

bool startsWith(const std::string& text, std::string_view start)
{
    return text.rfind(start, 0) == 0;
}

TEST(CollectorServerBodies, BodiesAndHeadsAreTakenUpToTheirLimitAndRefusedOnceTheyPassIt)
{
    HttpLimits slowBuildsToo; // under ThreadSanitizer 16 MiB take longer than the usual 10 s
    slowBuildsToo.bodyTime = std::chrono::seconds(120);
    RunningCollector collector(slowBuildsToo);
    {
        // Asking first, as curl does for a large body.
        RawClient client(collector.port());
        const std::string body =
            json{{"token", Collector::builtInKey}, {"fileName", "chunked.ecg"}, {"baseData", encodeBase64("abc")}}
                .dump();
        ASSERT_TRUE(client.send(chunkedHead(Collector::writePath, "application/json", "Expect: 100-continue\r\n")));
        EXPECT_TRUE(startsWith(client.answer(), "HTTP/1.1 100 Continue"));
        ASSERT_TRUE(client.send(chunk(body.substr(0, 10)) + chunk(body.substr(10)) + "0\r\n\r\n"));
        const std::string answer = client.answer();
        EXPECT_NE(answer.find(R"("result":"stored")"), std::string::npos) << answer;
    }
    // A body of "[" is also the one that would cost most once parsed. Chunked, its length is known
    // only at its end, which here never comes.
    struct Route {
        std::string path, type, refusal;
        std::size_t limit;
    };
    for (const Route& route : {Route{Collector::writePath, "application/json", "the body is over 16 MiB", 16 * MiB},
                               Route{"/api/login", "application/x-www-form-urlencoded", "the login form is over 8 KiB",
                                     CollectorServer::maxFormBytes}}) {
        RawClient client(collector.port());
        ASSERT_TRUE(client.send(chunkedHead(route.path, route.type)));
        const std::size_t sent = client.stream(chunk(std::string(64 << 10, '[')), 300 * MiB);
        const std::string answer = client.answer();
        EXPECT_TRUE(startsWith(answer, "HTTP/1.1 400")) << route.path << ": " << answer.substr(0, 200);
        EXPECT_NE(answer.find(route.refusal), std::string::npos) << answer.substr(0, 200);
        EXPECT_LT(sent, route.limit + inFlight) << route.path;
    }
    EXPECT_EQ(collector.stats()["uploads"], 1);

    // Heads without end, or with too many fields, are refused as well.
    RawClient endless(collector.port());
    ASSERT_TRUE(endless.send("POST /Ecg/WriteTicksBase HTTP/1.1\r\n"));
    const std::size_t sent = endless.stream("X-Pad: " + std::string(8000, 'a') + "\r\n", 300 * MiB);
    const std::string answer = endless.answer();
    EXPECT_TRUE(startsWith(answer, "HTTP/1.1 400")) << answer;
    EXPECT_NE(answer.find("the request's head is over 16 KiB"), std::string::npos) << answer;
    EXPECT_LT(sent, inFlight);
}

TEST(CollectorServerClients, IdleAndDrippingClientsHoldUpNoOneNotEvenAStop)
{
    RunningCollector collector;
    std::vector<RawClient> idle;
    for (int i = 0; i < 200; ++i)
        idle.emplace_back(collector.port());
    std::vector<RawClient> dripping;
    for (int i = 0; i < 8; ++i) {
        dripping.emplace_back(collector.port());
        ASSERT_TRUE(dripping.back().send("POST /Ecg/WriteTicksBase HTTP/1.1\r\nX-Slow: "));
    }
    // Patience is 10 s; with a thread held per waiting connection this took two minutes.
    EXPECT_EQ(collector.stats()["rejected"], 0);

    collector.stop();
    for (int i = 0; i < 1000 && !collector.ended(); ++i) {
        dripping.front().send("x");
        ::poll(nullptr, 0, 10);
    }
    EXPECT_TRUE(collector.ended());
}

} // namespace
} // namespace velorin
