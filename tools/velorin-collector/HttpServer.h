#pragma once

#include "BodySeats.h"
#include "Collector.h"
#include "HttpLimits.h"
#include "platform/Log.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

class HttpSession;

struct HttpRequest {
    std::string_view path; // without the query
    std::string_view contentType;
    std::string_view body;
};

// What a request's method and path lead to, known from its head alone, so that a body is measured
// against its own limit before it is read.
struct HttpRoute {
    std::size_t bodyLimit = 0; // 0: a body, if any, is left unread
    std::string tooLarge;      // why a longer body is refused
    bool held = false;         // answered only after the hold
    std::function<CollectorReply(const HttpRequest&)> answer;
};

// HTTP/1.1 on Boost.Beast: a few threads serve every connection, none of which holds a thread while
// it waits for its client, and each request is read within the HttpLimits.
class HttpServer {
public:
    // Logs and counts a refused request, and gives the answer it gets.
    using Refusal = std::function<CollectorReply(std::string_view path, const std::string& reason)>;

    HttpServer(HttpLimits limits, Log& log);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Set up before run().
    void route(std::string method, std::string path, HttpRoute route);
    void refuseWith(Refusal refusal) { m_refusal = std::move(refusal); }
    void holdAnswers(std::chrono::milliseconds hold) { m_hold = hold; }

    // Listens on host:port (0: a free port); false when that cannot be done.
    bool bind(const std::string& host, int port);
    int port() const { return m_port; }
    // Serves on this and threads - 1 more threads until stop().
    void run(std::size_t threads);
    // From any thread, also before run(). Answers already on their way (or held back) go out within
    // stopGrace; connections waiting for their client are closed at once.
    void stop();

    // For the sessions.
    const HttpLimits& limits() const { return m_limits; }
    const HttpRoute* find(std::string_view method, std::string_view path) const;
    CollectorReply refuse(std::string_view path, const std::string& reason) const { return m_refusal(path, reason); }
    std::chrono::milliseconds hold() const { return m_hold; }
    bool stopping() const { return m_stopping.load(); }
    BodySeats& seats() { return m_seats; }
    Log& log() { return m_log; }

private:
    struct Entry {
        std::string method;
        std::string path;
        HttpRoute route;
    };

    void accept();
    void remember(const std::shared_ptr<HttpSession>& session);
    void closeAll();
    void awaitSessions(std::chrono::steady_clock::time_point until);

    HttpLimits m_limits;
    Log& m_log;
    std::vector<Entry> m_routes;
    Refusal m_refusal;
    std::chrono::milliseconds m_hold{0};
    int m_port = 0;
    std::atomic<bool> m_stopping{false};

    // Declared before the io_context, so that sessions it destroys can still give their seats back.
    BodySeats m_seats;
    // Only to reach every connection at a stop; a session never waits on this list.
    std::mutex m_sessionsMutex;
    std::vector<std::weak_ptr<HttpSession>> m_sessions;
    std::size_t m_pruneAt = 64;

    boost::asio::io_context m_ioc;
    // The acceptor and both timers share one strand, as does everything a stop does to them.
    boost::asio::ip::tcp::acceptor m_acceptor;
    boost::asio::steady_timer m_retry;
    boost::asio::steady_timer m_grace;
};

} // namespace velorin
