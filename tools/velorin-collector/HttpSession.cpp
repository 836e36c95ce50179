#include "HttpSession.h"

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/bind_handler.hpp>
#include <boost/beast/core/string.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

#include <exception>
#include <iterator>
#include <limits>

namespace velorin {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using boost::system::error_code;

namespace {

// Room for the whole head and for any line of the chunked framing; a longer one is refused.
constexpr std::size_t bufferBytes = std::size_t{64} << 10;
constexpr std::size_t scratchBytes = std::size_t{64} << 10;
constexpr std::string_view continueLine = "HTTP/1.1 100 Continue\r\n\r\n";
const std::string textType = "text/plain; charset=utf-8";

bool isHttpError(const error_code& error)
{
    return error.category() == http::make_error_code(http::error::bad_target).category();
}

std::string_view view(beast::string_view text)
{
    return {text.data(), text.size()};
}

std::string kib(std::size_t bytes)
{
    return std::to_string(bytes >> 10) + " KiB";
}

} // namespace

HttpSession::HttpSession(net::ip::tcp::socket socket, HttpServer& server)
    : m_server(server), m_limits(server.limits()), m_stream(std::move(socket)), m_buffer(bufferBytes),
      m_hold(m_stream.get_executor())
{
}

HttpSession::~HttpSession()
{
    giveSeat();
}

void HttpSession::start()
{
    net::post(m_stream.get_executor(), [self = shared_from_this()] { self->readHead(); });
}

void HttpSession::stop()
{
    net::post(m_stream.get_executor(), [self = shared_from_this()] {
        if (self->m_phase == Phase::holding)
            self->m_hold.cancel();
        else if (self->m_phase != Phase::writing)
            self->close();
    });
}

const http::request_header<>& HttpSession::head() const
{
    if (m_body)
        return m_body->get();
    return m_head->get();
}

std::string HttpSession::path() const
{
    const std::string_view target = view(head().target());
    const std::string_view path = target.substr(0, target.find('?'));
    return path.empty() ? "-" : std::string(path);
}

std::string HttpSession::seconds(std::chrono::milliseconds time) const
{
    return std::to_string(time.count() / 1000) + "." + std::to_string(time.count() % 1000 / 100) + " s";
}

void HttpSession::readHead()
{
    if (m_server.stopping())
        return close();
    m_phase = Phase::head;
    m_route = nullptr;
    m_body.reset();
    m_head.emplace();
    m_head->header_limit(static_cast<std::uint32_t>(m_limits.headBytes));
    // Each route's own limit applies once the head is in. (Not boost::none: this Beast compares a
    // length with an empty limit as over it.)
    m_head->body_limit(std::numeric_limits<std::uint64_t>::max());
    m_stream.expires_after(m_limits.headTime);
    http::async_read_header(m_stream, m_buffer, *m_head,
                            beast::bind_front_handler(&HttpSession::onHead, shared_from_this()));
}

void HttpSession::onHead(error_code error, std::size_t)
{
    if (m_phase == Phase::closed)
        return;
    if (error == http::error::header_limit || error == http::error::buffer_overflow)
        return refuse("the request's head is over " + kib(m_limits.headBytes));
    if (error == beast::error::timeout && m_head->got_some())
        return refuse("the request's head did not arrive within " + seconds(m_limits.headTime), false);
    if (error && isHttpError(error) && error != http::error::end_of_stream && error != http::error::partial_message)
        return refuse("a malformed request");
    if (error) // the client went, or stayed idle too long
        return close();

    const auto& fields = head();
    if (static_cast<std::size_t>(std::distance(fields.begin(), fields.end())) > m_limits.headFields)
        return refuse("the request's head has over " + std::to_string(m_limits.headFields) + " fields");
    m_route = m_server.find(view(fields.method_string()), path());
    m_bodyUnread = !m_head->is_done();
    if (!m_route)
        return send({404, "no such endpoint\n", textType}, false);
    if (!m_bodyUnread || m_route->bodyLimit == 0)
        return answer({});
    const auto declared = m_head->content_length();
    if (declared && *declared > m_route->bodyLimit)
        return refuse(m_route->tooLarge);
    // A chunked body's length is known only at its end: it may be large.
    const bool large =
        m_route->bodyLimit > m_limits.largeBodyBytes && (!declared || *declared > m_limits.largeBodyBytes);
    if (!large)
        return readBody();
    m_phase = Phase::waiting;
    m_stream.expires_never(); // the wait is the server's, not the client's
    m_server.seats().take(
        [self = shared_from_this()] { net::post(self->m_stream.get_executor(), [self] { self->onSeat(); }); });
}

void HttpSession::onSeat()
{
    m_seated = true;
    if (m_phase == Phase::closed)
        return giveSeat();
    readBody();
}

void HttpSession::readBody()
{
    m_phase = Phase::body;
    m_body.emplace(std::move(*m_head));
    m_body->body_limit(m_route->bodyLimit);
    // A body of unknown length would grow by doubling, briefly holding twice the limit; room for the
    // limit is only address space until the body fills it.
    if (!m_body->content_length())
        m_body->get().body().reserve(m_route->bodyLimit);
    m_stream.expires_after(m_limits.bodyTime);
    auto read = [self = shared_from_this()] {
        http::async_read(self->m_stream, self->m_buffer, *self->m_body,
                         beast::bind_front_handler(&HttpSession::onBody, self));
    };
    // A client that asked whether to send its body waits for this before it does.
    if (!beast::iequals(m_body->get()[http::field::expect], "100-continue"))
        return read();
    net::async_write(m_stream, net::buffer(continueLine.data(), continueLine.size()),
                     [self = shared_from_this(), read](error_code error, std::size_t) {
                         if (self->m_phase != Phase::body)
                             return;
                         if (error)
                             return self->close();
                         read();
                     });
}

void HttpSession::onBody(error_code error, std::size_t)
{
    if (m_phase == Phase::closed)
        return;
    if (error == http::error::body_limit)
        return refuse(m_route->tooLarge);
    if (error == beast::error::timeout)
        return refuse("the body did not arrive within " + seconds(m_limits.bodyTime), false);
    if (error == http::error::partial_message || error == net::error::eof || error == net::error::connection_reset)
        return refuse("the body was cut short", false);
    if (error && isHttpError(error))
        return refuse("a malformed request");
    if (error)
        return close();
    m_bodyUnread = false;
    answer(std::move(m_body->get().body()));
}

void HttpSession::answer(std::string body)
{
    const std::string where = path();
    const HttpRequest request{where, view(head()[http::field::content_type]), body};
    CollectorReply reply;
    try {
        reply = m_route->answer(request);
    } catch (const std::exception& e) {
        m_server.log().line("500 " + where + ": " + e.what());
        reply = {500, "internal error\n", textType};
    }
    // The body and its seat are let go before the answer waits for anything.
    std::string().swap(body);
    giveSeat();
    send(std::move(reply), m_route->held);
}

void HttpSession::refuse(const std::string& reason, bool answerable)
{
    m_bodyUnread = true;
    CollectorReply reply = m_server.refuse(path(), reason);
    if (!answerable) // the deadline closed the connection, or the client did
        return close();
    giveSeat();
    send(std::move(reply), m_route && m_route->held);
}

void HttpSession::send(CollectorReply reply, bool held)
{
    m_answer = {};
    m_answer.version(head().version() == 10 ? 10 : 11);
    m_answer.result(static_cast<unsigned>(reply.status));
    m_answer.set(http::field::content_type, reply.contentType);
    m_answer.body() = std::move(reply.body);
    m_answer.keep_alive(!m_bodyUnread && (m_body ? m_body->keep_alive() : m_head->keep_alive()));
    m_answer.prepare_payload();
    const std::chrono::milliseconds hold = m_server.hold();
    if (!held || hold.count() <= 0 || m_server.stopping())
        return write();
    m_phase = Phase::holding;
    m_stream.expires_never();
    m_hold.expires_after(hold);
    m_hold.async_wait([self = shared_from_this()](error_code) { // cancelled by a stop: answer now
        if (self->m_phase == Phase::holding)
            self->write();
    });
}

void HttpSession::write()
{
    m_phase = Phase::writing;
    if (m_server.stopping())
        m_answer.keep_alive(false);
    m_stream.expires_after(m_limits.answerTime);
    http::async_write(m_stream, m_answer, beast::bind_front_handler(&HttpSession::onWritten, shared_from_this()));
}

void HttpSession::onWritten(error_code error, std::size_t)
{
    if (error)
        return close();
    if (m_answer.keep_alive() && !m_server.stopping()) {
        m_answer = {};
        return readHead();
    }
    if (m_bodyUnread && !m_server.stopping())
        return drain();
    close();
}

// The answer is out and our side is shut; what the client still sends is read and dropped until it
// stops, the time is up or the bound is reached. Closing at once would discard the answer with a
// reset before a client busy sending could read it.
void HttpSession::drain()
{
    m_phase = Phase::draining;
    error_code ignored;
    m_stream.socket().shutdown(net::ip::tcp::socket::shutdown_send, ignored);
    m_buffer.consume(m_buffer.size());
    m_scratch.resize(scratchBytes);
    m_drained = 0;
    m_stream.expires_after(m_limits.drainTime);
    struct Step {
        std::shared_ptr<HttpSession> self;
        void operator()(error_code error, std::size_t n)
        {
            if (self->m_phase != Phase::draining)
                return;
            self->m_drained += n;
            if (error || self->m_drained > self->m_limits.drainBytes)
                return self->close();
            self->m_stream.async_read_some(net::buffer(self->m_scratch), std::move(*this));
        }
    };
    Step{shared_from_this()}(error_code{}, 0);
}

void HttpSession::close()
{
    if (m_phase == Phase::closed)
        return;
    m_phase = Phase::closed;
    m_hold.cancel();
    error_code ignored;
    m_stream.socket().shutdown(net::ip::tcp::socket::shutdown_both, ignored);
    m_stream.close();
    giveSeat();
}

void HttpSession::giveSeat()
{
    if (!m_seated)
        return;
    m_seated = false;
    m_server.seats().give();
}

} // namespace velorin
