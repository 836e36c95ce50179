#include "HttpServer.h"

#include "HttpSession.h"

#include <boost/asio/post.hpp>
#include <boost/asio/strand.hpp>

#include <algorithm>
#include <exception>
#include <thread>

namespace velorin {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using boost::system::error_code;

HttpServer::HttpServer(HttpLimits limits, Log& log)
    : m_limits(limits), m_log(log), m_seats(limits.largeBodySeats), m_acceptor(net::make_strand(m_ioc)),
      m_retry(m_acceptor.get_executor()), m_grace(m_acceptor.get_executor())
{
}

HttpServer::~HttpServer()
{
    // Sessions still in line for a seat go while the io_context they belong to is alive.
    m_seats.close();
}

void HttpServer::route(std::string method, std::string path, HttpRoute route)
{
    m_routes.push_back({std::move(method), std::move(path), std::move(route)});
}

const HttpRoute* HttpServer::find(std::string_view method, std::string_view path) const
{
    const auto found = std::find_if(m_routes.begin(), m_routes.end(),
                                    [&](const Entry& e) { return e.method == method && e.path == path; });
    return found == m_routes.end() ? nullptr : &found->route;
}

bool HttpServer::bind(const std::string& host, int port)
{
    error_code error;
    const net::ip::address address = net::ip::make_address(host, error);
    if (error)
        return false;
    const tcp::endpoint endpoint(address, static_cast<unsigned short>(port));
    // SO_REUSEADDR only: with SO_REUSEPORT a second server could share a port in use instead of being
    // told so.
    m_acceptor.open(endpoint.protocol(), error);
    if (!error)
        m_acceptor.set_option(net::socket_base::reuse_address(true), error);
    if (!error)
        m_acceptor.bind(endpoint, error);
    if (!error)
        m_acceptor.listen(net::socket_base::max_listen_connections, error);
    if (!error)
        m_port = m_acceptor.local_endpoint(error).port();
    if (error) {
        error_code ignored;
        m_acceptor.close(ignored);
        return false;
    }
    return true;
}

void HttpServer::run(std::size_t threads)
{
    net::post(m_acceptor.get_executor(), [this] { accept(); });
    auto serve = [this] {
        for (;;) {
            try {
                m_ioc.run();
                return;
            } catch (const std::exception& e) {
                // One request's trouble (out of memory, most likely) must not end the server.
                m_log.line(std::string("500 an exception escaped: ") + e.what());
            }
        }
    };
    std::vector<std::thread> pool;
    for (std::size_t i = 1; i < threads; ++i)
        pool.emplace_back(serve);
    serve();
    for (std::thread& t : pool)
        t.join();
}

void HttpServer::stop()
{
    net::post(m_acceptor.get_executor(), [this] { closeAll(); });
}

void HttpServer::accept()
{
    if (m_stopping)
        return;
    m_acceptor.async_accept(net::make_strand(m_ioc), [this](const error_code& error, tcp::socket socket) {
        if (m_stopping || error == net::error::operation_aborted)
            return;
        if (error) {
            // Out of descriptors, most likely: connections that end free them; try again shortly
            // rather than spin.
            m_retry.expires_after(std::chrono::milliseconds(100));
            m_retry.async_wait([this](const error_code& e) {
                if (!e)
                    accept();
            });
            return;
        }
        error_code ignored;
        // Answers go out as head and body; without this the body may wait for a delayed acknowledgement.
        socket.set_option(tcp::no_delay(true), ignored);
        auto session = std::make_shared<HttpSession>(std::move(socket), *this);
        remember(session);
        session->start();
        accept();
    });
}

void HttpServer::remember(const std::shared_ptr<HttpSession>& session)
{
    std::lock_guard lock(m_sessionsMutex);
    if (m_sessions.size() >= m_pruneAt) {
        std::erase_if(m_sessions, [](const std::weak_ptr<HttpSession>& s) { return s.expired(); });
        m_pruneAt = std::max<std::size_t>(64, 2 * m_sessions.size());
    }
    m_sessions.push_back(session);
}

void HttpServer::closeAll()
{
    if (m_stopping.exchange(true))
        return;
    error_code ignored;
    m_acceptor.close(ignored);
    m_retry.cancel();
    m_seats.close();
    std::vector<std::weak_ptr<HttpSession>> sessions;
    {
        std::lock_guard lock(m_sessionsMutex);
        sessions = m_sessions;
    }
    for (const auto& weak : sessions)
        if (const auto session = weak.lock())
            session->stop();
    awaitSessions(std::chrono::steady_clock::now() + m_limits.stopGrace);
}

void HttpServer::awaitSessions(std::chrono::steady_clock::time_point until)
{
    bool live = false;
    {
        std::lock_guard lock(m_sessionsMutex);
        live = std::any_of(m_sessions.begin(), m_sessions.end(),
                           [](const std::weak_ptr<HttpSession>& s) { return !s.expired(); });
    }
    if (!live)
        return; // nothing is left to do, so run() returns
    if (std::chrono::steady_clock::now() >= until) {
        m_ioc.stop();
        return;
    }
    m_grace.expires_after(std::chrono::milliseconds(20));
    m_grace.async_wait([this, until](const error_code& error) {
        if (!error)
            awaitSessions(until);
    });
}

} // namespace velorin
