#include "net/qt/HttpExchange.h"

#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <boost/asio/buffer.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>

#include <optional>

namespace velorin {

namespace http = boost::beast::http;

namespace {

// Far above any answer's head from a server of ours; the bound only keeps a hostile one small.
constexpr std::uint32_t headLimit = 64 << 10;

} // namespace

struct HttpExchange::Answer {
    Answer(qint64 bodyLimit, bool headOnly) : bodyLimit(bodyLimit), headOnly(headOnly) { next(); }

    // Ready for the next message on the connection: after an interim answer (1xx), the real one.
    void next()
    {
        parser.emplace();
        parser->header_limit(headLimit);
        parser->body_limit(static_cast<std::uint64_t>(bodyLimit));
        parser->eager(true);
        parser->skip(headOnly);
    }

    const qint64 bodyLimit;
    const bool headOnly;
    std::optional<http::response_parser<http::string_body>> parser;
    std::string pending; // received and not taken by the parser yet
};

HttpExchange::HttpExchange(QTcpSocket& socket, bool encrypted, QByteArray request, qint64 bodyLimit, int timeoutMs,
                           bool headOnly, Finished finished)
    : m_socket(socket), m_encrypted(encrypted), m_timeoutMs(timeoutMs), m_request(std::move(request)),
      m_bodyLimit(bodyLimit), m_deadline(new QTimer(this)), m_finished(std::move(finished)),
      m_answer(std::make_unique<Answer>(bodyLimit, headOnly))
{
}

void HttpExchange::start()
{
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this,
            [this] { fail("no complete answer within " + std::to_string(m_timeoutMs) + " ms"); });
    m_deadline->start(m_timeoutMs);
    connect(&m_socket, &QIODevice::readyRead, this, &HttpExchange::take);
    connect(&m_socket, &QAbstractSocket::disconnected, this, &HttpExchange::closed);
    connect(&m_socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError)
            closed();
        else
            fail(m_socket.errorString().toStdString());
    });
    const bool ready = m_socket.state() == QAbstractSocket::ConnectedState &&
                       (!m_encrypted || static_cast<QSslSocket&>(m_socket).isEncrypted());
    if (ready)
        write();
    else if (m_socket.state() == QAbstractSocket::UnconnectedState) // refused before it got this far
        fail(m_socket.errorString().toStdString());
    else if (m_encrypted)
        connect(static_cast<QSslSocket*>(&m_socket), &QSslSocket::encrypted, this, &HttpExchange::write);
    else
        connect(&m_socket, &QAbstractSocket::connected, this, &HttpExchange::write);
}

HttpExchange::~HttpExchange() = default;

void HttpExchange::abort(const std::string& reason)
{
    fail(reason);
}

void HttpExchange::write()
{
    if (m_over || m_written)
        return;
    m_written = true;
    m_socket.write(m_request);
    m_request.clear();
}

void HttpExchange::take()
{
    if (m_over)
        return;
    const QByteArray bytes = m_socket.readAll();
    if (bytes.isEmpty())
        return;
    m_heard = true;
    Answer& answer = *m_answer;
    answer.pending.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    while (!m_over && !answer.pending.empty()) {
        boost::system::error_code error;
        const std::size_t used = answer.parser->put(boost::asio::buffer(answer.pending), error);
        answer.pending.erase(0, used);
        // The parser bounds a chunked body but not always one of a declared length.
        if (answer.parser->is_header_done() &&
            (answer.parser->content_length().value_or(0) > static_cast<std::uint64_t>(m_bodyLimit) ||
             answer.parser->get().body().size() > static_cast<std::size_t>(m_bodyLimit)))
            error = http::error::body_limit;
        if (error == http::error::need_more)
            return;
        if (error == http::error::body_limit) {
            fail("the answer is larger than " + std::to_string(m_bodyLimit) + " bytes");
            return;
        }
        if (error) {
            fail("not an HTTP answer: " + error.message());
            return;
        }
        if (!answer.parser->is_done())
            continue;
        const int status = answer.parser->get().result_int();
        if (status >= 100 && status < 200 && status != 101) {
            answer.next();
            continue;
        }
        HttpResponse response;
        response.status = status;
        const bool keepAlive = answer.parser->keep_alive();
        response.body = answer.parser->release().body();
        // Anything after the answer is nothing we asked for: the connection is not used again.
        finish(std::move(response), keepAlive && answer.pending.empty());
        return;
    }
}

void HttpExchange::closed()
{
    if (m_over)
        return;
    take();
    if (m_over)
        return;
    Answer& answer = *m_answer;
    // An answer without a length ends where the connection does.
    if (answer.parser->is_header_done() && answer.parser->need_eof()) {
        boost::system::error_code error;
        answer.parser->put_eof(error);
        if (!error && answer.parser->is_done()) {
            HttpResponse response;
            response.status = answer.parser->get().result_int();
            response.body = answer.parser->release().body();
            finish(std::move(response), false);
            return;
        }
    }
    fail(m_heard ? "the connection closed in the middle of the answer"
                 : "the connection closed before an answer came (not sent again)");
}

void HttpExchange::fail(std::string error)
{
    HttpResponse response;
    response.error = std::move(error);
    finish(std::move(response), false);
}

void HttpExchange::finish(HttpResponse response, bool reusable)
{
    if (m_over)
        return;
    m_over = true;
    m_deadline->stop();
    disconnect(&m_socket, nullptr, this, nullptr);
    auto finished = std::move(m_finished);
    // An answer that came before the whole request went out leaves the connection in the middle of it.
    finished(*this, std::move(response),
             reusable && m_socket.state() == QAbstractSocket::ConnectedState && m_socket.bytesToWrite() == 0);
}

} // namespace velorin
