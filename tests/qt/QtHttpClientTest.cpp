#include "net/qt/QtHttpClient.h"
#include "qt/QtTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <future>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace velorin {
namespace {

using namespace std::chrono_literals;

// Accepts connections on 127.0.0.1, takes in what the client sends and closes each one without a word.
class HangingUpServer {
public:
    HangingUpServer()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(m_fd, 8) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            ADD_FAILURE() << "cannot listen on 127.0.0.1";
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] {
            for (int client; (client = ::accept(m_fd, nullptr, nullptr)) >= 0;) {
                char request[4096];
                if (::recv(client, request, sizeof request, 0) > 0)
                    ++m_requests;
                ::close(client);
            }
        });
    }
    ~HangingUpServer()
    {
        ::shutdown(m_fd, SHUT_RDWR); // ends the accept
        m_thread.join();
        ::close(m_fd);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/api/login"; }
    // Connections on which a request arrived.
    int requests() const { return m_requests.load(); }

private:
    std::atomic<int> m_requests{0};
    int m_fd = -1;
    int m_port = 0;
    std::thread m_thread;
};

HttpRequest post(const std::string& url, std::chrono::milliseconds timeout = 20s)
{
    HttpRequest request;
    request.url = url;
    request.body = "Username=ana&Password=x";
    request.headers = {{"Content-Length", std::to_string(request.body.size())},
                       {"Accept", "application/json"},
                       {"Content-Type", "application/x-www-form-urlencoded"}};
    request.timeout = timeout;
    return request;
}

TEST(QtHttpClient, CompletionsRunOnTheirOwnThreadAndRequestsGoOutAsGiven)
{
    LoopbackServer server;
    (*server).Post("/echo", [](const httplib::Request& request, httplib::Response& response) {
        response.status = 201;
        response.set_content(request.get_header_value("Content-Type") + "|" + request.get_header_value("Accept") +
                                 "|" + request.get_header_value("Content-Length") + "|" + request.body,
                             "text/plain");
    });
    QtHttpClient client;
    std::promise<std::pair<HttpResponse, std::thread::id>> done;
    int openInside = -1;
    client.send(post(server.url("/echo")), [&](HttpResponse response) {
        openInside = client.openRequests();
        done.set_value({std::move(response), std::this_thread::get_id()});
    });
    auto answer = done.get_future();
    ASSERT_EQ(answer.wait_for(20s), std::future_status::ready);
    const auto [response, thread] = answer.get();
    EXPECT_NE(thread, std::this_thread::get_id());
    EXPECT_EQ(openInside, 1); // counted until the completion returns
    EXPECT_EQ(response.status, 201);
    EXPECT_EQ(response.error, "");
    EXPECT_EQ(response.body, "application/x-www-form-urlencoded|application/json|23|Username=ana&Password=x");

    const HttpResponse missing = client.sendBlocking(post(server.url("/nothing-here")));
    EXPECT_EQ(missing.status, 404);
    EXPECT_TRUE(missing.transferred()) << missing.error;

    // A connection the server keeps carries the next request; one it closes after its answer does not.
    (*server).set_keep_alive_max_count(2);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(client.sendBlocking(post(server.url("/echo"))).status, 201) << i;
}

// A timeout covers the whole exchange, and an answer over the limit is an error, whether its
// length is declared or not.
TEST(QtHttpClient, SlowAndEndlessAnswersEndAsErrors)
{
    // Made before the server, so that it outlives the server's threads, which may still be sending it.
    const std::string block(64 << 10, 'x');
    constexpr std::size_t hundredMegabytes = std::size_t{100} << 20;
    LoopbackServer server;
    (*server).Post("/silent", [&](const httplib::Request&, httplib::Response&) { server.holdBack(); });
    // One byte now and then: every byte would keep an idle timer from firing.
    (*server).Post("/trickle", [&](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("application/json", [&](std::size_t, httplib::DataSink& sink) {
            std::this_thread::sleep_for(20ms);
            return sink.write("{", 1);
        });
    });
    (*server).Post("/endless", [&](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("application/json", [&](std::size_t offset, httplib::DataSink& sink) {
            return offset < hundredMegabytes && sink.write(block.data(), block.size());
        });
    });
    (*server).Post("/declared", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(hundredMegabytes, "application/json",
                                      [&](std::size_t, std::size_t, httplib::DataSink& sink) {
                                          return sink.write(block.data(), block.size());
                                      });
    });
    QtHttpClient client;
    const std::string late = "no complete answer within 300 ms", large = "the answer is larger than 1048576 bytes";
    for (const auto& [path, timeout, error] :
         {std::tuple{"/silent", 300ms, late}, std::tuple{"/trickle", 300ms, late},
          std::tuple{"/endless", 20000ms, large}, std::tuple{"/declared", 20000ms, large}}) {
        const HttpResponse response = client.sendBlocking(post(server.url(path), timeout));
        EXPECT_FALSE(response.transferred()) << path;
        EXPECT_NE(response.error.find(error), std::string::npos) << path << ": " << response.error;
        EXPECT_EQ(response.body, "");
    }
    server.release();
}

TEST(QtHttpClient, RedirectsHangUpsEmptyAnswersAndOtherSchemes)
{
    LoopbackServer elsewhere;
    std::atomic<int> visits{0};
    (*elsewhere).Post("/api/login", [&](const httplib::Request&, httplib::Response& response) {
        ++visits;
        response.set_content("{\"Id\":\"1\"}", "application/json");
    });
    LoopbackServer server;
    (*server).Post("/api/login", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(elsewhere.url("/api/login"), 307);
    });
    (*server).Post("/empty", [](const httplib::Request&, httplib::Response& response) { response.status = 200; });
    HangingUpServer hangUp;
    QtHttpClient client; // gone before the servers, so that no connection is left open to them

    // A redirect is an answer, not a way elsewhere.
    const HttpResponse redirected = client.sendBlocking(post(server.url("/api/login")));
    EXPECT_EQ(redirected.status, 307);
    EXPECT_TRUE(redirected.transferred()) << redirected.error;
    EXPECT_FALSE(redirected.success());
    EXPECT_EQ(visits.load(), 0);

    // A POST is never sent again by the client on its own: an event would reach the server twice.
    const HttpResponse closed = client.sendBlocking(post(hangUp.url()));
    EXPECT_EQ(closed.status, 0);
    EXPECT_NE(closed.error, "");
    EXPECT_EQ(hangUp.requests(), 1);

    const HttpResponse empty = client.sendBlocking(post(server.url("/empty")));
    EXPECT_TRUE(empty.success()) << empty.error;
    EXPECT_EQ(empty.body, "");

    const HttpResponse file = client.sendBlocking(post("file:///etc/passwd"));
    EXPECT_EQ(file.status, 0);
    EXPECT_NE(file.error.find("not an http or https URL"), std::string::npos);
}

TEST(QtHttpClient, ShuttingDownCompletesWhatIsOpenOnce)
{
    LoopbackServer server;
    (*server).Post("/silent", [&](const httplib::Request&, httplib::Response&) { server.holdBack(); });
    std::atomic<int> completions{0};
    std::string error;
    {
        QtHttpClient client;
        client.send(post(server.url("/silent")), [&](HttpResponse response) {
            error = response.error;
            ++completions;
        });
    }
    EXPECT_EQ(completions.load(), 1);
    EXPECT_NE(error, "");
    server.release();
}

} // namespace
} // namespace velorin
