#pragma once

#include "net/HttpClient.h"

#include <QByteArray>
#include <QObject>

#include <functional>
#include <memory>
#include <string>

class QTcpSocket;
class QTimer;

namespace velorin {

// One request and its answer on one connection, on the thread the socket lives on. The request is
// written once, whether the socket is still connecting or already connected, and never again; the
// answer is read against a limit on its body and a deadline for the whole exchange. `finished` runs
// exactly once, with the exchange itself, the response and whether the connection may carry another
// request; the socket stays its owner's.
class HttpExchange : public QObject {
public:
    using Finished = std::function<void(HttpExchange& self, HttpResponse response, bool reusable)>;

    // headOnly: the answer has a head and no body (a HEAD request).
    HttpExchange(QTcpSocket& socket, bool encrypted, QByteArray request, qint64 bodyLimit, int timeoutMs, bool headOnly,
                 Finished finished);
    ~HttpExchange() override;

    // Writes the request as soon as the connection allows; `finished` may run before this returns.
    void start();

    // Ends the exchange now with this error, unless it is over already.
    void abort(const std::string& reason);

private:
    struct Answer;
    void write();
    void take();
    void closed();
    void fail(std::string error);
    void finish(HttpResponse response, bool reusable);

    QTcpSocket& m_socket;
    const bool m_encrypted;
    const int m_timeoutMs;
    QByteArray m_request;
    const qint64 m_bodyLimit;
    QTimer* m_deadline;
    Finished m_finished;
    std::unique_ptr<Answer> m_answer;
    bool m_written = false;
    bool m_heard = false; // a byte of the answer came
    bool m_over = false;
};

} // namespace velorin
