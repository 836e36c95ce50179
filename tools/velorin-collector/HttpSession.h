#pragma once

#include "HttpServer.h"

#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

// One client connection, from its first request to its close. Everything it does runs on its own
// strand. The head is read first, into a bounded buffer and against a deadline; only then is the
// body read, against the route's limit (counted as it arrives, so framing makes no difference) and
// after a seat is free when it may be large.
class HttpSession : public std::enable_shared_from_this<HttpSession> {
public:
    HttpSession(boost::asio::ip::tcp::socket socket, HttpServer& server);
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;

    void start();
    // From any thread: waiting for the client ends at once, an answer held back goes out now.
    void stop();

private:
    enum class Phase { head, waiting, body, holding, writing, draining, closed };
    using HeadParser = boost::beast::http::request_parser<boost::beast::http::empty_body>;
    using BodyParser = boost::beast::http::request_parser<boost::beast::http::string_body>;

    void readHead();
    void onHead(boost::system::error_code error, std::size_t);
    void onSeat();
    void readBody();
    void onBody(boost::system::error_code error, std::size_t);
    void answer(std::string body);
    void refuse(const std::string& reason, bool answerable = true);
    void send(CollectorReply reply, bool held);
    void write();
    void onWritten(boost::system::error_code error, std::size_t);
    void drain();
    void close();
    void giveSeat();

    const boost::beast::http::request_header<>& head() const;
    std::string path() const;
    std::string seconds(std::chrono::milliseconds time) const;

    HttpServer& m_server;
    const HttpLimits& m_limits;
    boost::beast::tcp_stream m_stream;
    boost::beast::flat_buffer m_buffer;
    std::optional<HeadParser> m_head;
    std::optional<BodyParser> m_body;
    boost::beast::http::response<boost::beast::http::string_body> m_answer;
    boost::asio::steady_timer m_hold;
    std::vector<char> m_scratch; // what a drain reads and throws away
    const HttpRoute* m_route = nullptr;
    Phase m_phase = Phase::head;
    bool m_seated = false;
    bool m_bodyUnread = false; // some of the request is still on the wire: the connection must close
    std::size_t m_drained = 0;
};

} // namespace velorin
