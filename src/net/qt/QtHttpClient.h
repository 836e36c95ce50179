#pragma once

#include "net/HttpClient.h"

#include <QObject>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace velorin {

// HttpClient on QNetworkAccessManager. The manager lives on a thread of the client's own, so requests
// go out and come back whether or not the program runs a Qt event loop on its main thread (the
// recorder's virtual-time runs have none); a QCoreApplication must exist. Completions run on threads
// of a pool the client owns, never on the network thread, so a completion may itself send.
// Requests to a loopback address never go through a proxy.
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
    struct Exchange;
    // On the network thread. `done` runs there too.
    void start(const HttpRequest& request, std::function<void(HttpResponse)> done);
    void finish(QNetworkReply* reply, Exchange& exchange);
    void complete(Completion completion, HttpResponse response);

    const qint64 m_bodyLimit;
    QThread m_thread;
    QObject* m_context;                        // lives on m_thread
    QNetworkAccessManager* m_manager = nullptr; // made and deleted on m_thread
    QThreadPool m_completions;
    std::atomic<int> m_open{0};
    std::atomic<bool> m_closing{false};
};

} // namespace velorin
