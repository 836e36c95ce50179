#pragma once

#include "net/HttpClient.h"

#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <vector>

class QTcpSocket;

namespace velorin {

class HttpExchange;
struct HttpRoute;

// HttpClient on Qt's sockets (QTcpSocket, QSslSocket for https), speaking HTTP/1.1 itself: one thread
// of the client's own does all the work of a request and runs its completion, with no other thread
// in between, so that a request costs little CPU. Requests go out and come back whether or not the
// program runs a Qt event loop on its main thread (the recorder's virtual-time runs have none); a
// QCoreApplication must exist. Completions must not wait for anything: a sendBlocking inside one
// fails at once.
// Requests to a loopback address never go through a proxy; other hosts follow the system's proxy
// settings. A connection whose answer came whole is kept open for the next request to the same
// server for a moment, not for long, since servers close idle ones.
class QtHttpClient : public HttpClient {
public:
    static constexpr qint64 defaultBodyLimit = qint64{1} << 20;

    explicit QtHttpClient(qint64 bodyLimit = defaultBodyLimit);
    // Aborts what is still open (each completion then runs with an error) and waits for every
    // completion to return. No send may come in meanwhile.
    ~QtHttpClient() override;
    QtHttpClient(const QtHttpClient&) = delete;
    QtHttpClient& operator=(const QtHttpClient&) = delete;

    void send(HttpRequest request, Completion completion) override;
    HttpResponse sendBlocking(const HttpRequest& request) override;
    // Counts a request until its completion has returned.
    int openRequests() const override { return m_open.load(); }

private:
    struct Idle {
        QTcpSocket* socket;
        std::chrono::steady_clock::time_point since;
    };
    // On the network thread from here on.
    void start(const HttpRequest& request, Completion done);
    QTcpSocket* connection(const HttpRoute& route);
    void keep(const QString& key, QTcpSocket* socket);
    void drop(QTcpSocket* socket);

    const qint64 m_bodyLimit;
    QThread m_thread;
    QObject* m_context; // lives on m_thread
    std::map<QString, std::vector<Idle>> m_idle;
    std::set<HttpExchange*> m_exchanges;
    bool m_stopped = false;
    std::atomic<int> m_open{0};
    std::atomic<bool> m_closing{false};
};

} // namespace velorin
