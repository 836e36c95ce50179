#include "net/qt/QtHttpClient.h"

#include "platform/qt/HandOver.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QIODevice>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <climits>
#include <future>

namespace velorin {

namespace {

// Loopback traffic stays on this machine: no proxy ever sees it. Other hosts follow the system's
// proxy settings.
class LoopbackWithoutProxy : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        const QString host = query.peerHostName();
        const QHostAddress address(host);
        if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
            (!address.isNull() && address.isLoopback()))
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }
};

// Qt reports an HTTP error status as a reply error too; for us the transfer went well and the
// status says the rest.
bool statusOnly(QNetworkReply::NetworkError error)
{
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError) ||
           error == QNetworkReply::ProtocolInvalidOperationError ||
           error == QNetworkReply::ProxyAuthenticationRequiredError;
}

int timeoutMs(Nanoseconds timeout)
{
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
    return static_cast<int>(std::clamp<long long>(ms, 1, INT_MAX));
}

HttpResponse failure(std::string error)
{
    HttpResponse response;
    response.error = std::move(error);
    return response;
}

} // namespace

struct QtHttpClient::Exchange {
    std::function<void(HttpResponse)> done;
    QByteArray body;
    std::string abortReason; // set when the client cut the exchange short
    QTimer* timer = nullptr;  // a child of the reply
    bool finished = false;
};

QtHttpClient::QtHttpClient(qint64 bodyLimit) : m_bodyLimit(bodyLimit), m_context(new QObject)
{
    m_thread.setObjectName(QStringLiteral("velorin-http"));
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    // Enough that completions which wait for something seldom hold up others.
    m_completions.setMaxThreadCount(16);
    watchEnd(m_thread);
    m_thread.start();
    runOn(
        m_context,
        [this] {
            m_manager = new QNetworkAccessManager(m_context);
            m_manager->setProxyFactory(new LoopbackWithoutProxy);
            m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
        });
}

QtHttpClient::~QtHttpClient()
{
    m_closing.store(true);
    runOn(
        m_context,
        [this] {
            for (QNetworkReply* reply : m_manager->findChildren<QNetworkReply*>())
                reply->abort();
            delete m_manager;
            m_manager = nullptr;
        });
    m_thread.quit();
    waitForEnd(m_thread);
    m_completions.waitForDone();
}

void QtHttpClient::send(HttpRequest request, Completion completion)
{
    m_open.fetch_add(1);
    if (m_closing.load()) {
        complete(std::move(completion), failure("the HTTP client is shutting down"));
        return;
    }
    postTo(
        m_context,
        [this, request = std::move(request), completion = std::move(completion)]() mutable {
            start(request, [this, completion = std::move(completion)](HttpResponse response) mutable {
                complete(std::move(completion), std::move(response));
            });
        });
}

HttpResponse QtHttpClient::sendBlocking(const HttpRequest& request)
{
    // The answer could never come: this thread is the one that would receive it.
    if (QThread::currentThread() == &m_thread)
        return failure("a blocking request cannot be made on the HTTP client's own thread");
    if (m_closing.load())
        return failure("the HTTP client is shutting down");
    m_open.fetch_add(1);
    auto promise = std::make_shared<std::promise<HttpResponse>>();
    std::future<HttpResponse> future = promise->get_future();
    // Completed on the network thread itself, not in the pool: the caller may be a completion, and a
    // pool full of waiting callers must not hold up the answer they wait for.
    // Once the answer is there this thread touches nothing of the client, which may be going away.
    postTo(
        m_context,
        [this, request, promise] {
            start(request, [this, promise](HttpResponse response) {
                m_open.fetch_sub(1);
                promise->set_value(std::move(response));
            });
        });
    try {
        return future.get();
    } catch (const std::future_error&) {
        // The client shut down before the request went out.
        return failure("the HTTP client is shutting down");
    }
}

namespace {

// A request body that reads through once and cannot be rewound. A plain device: Qt reads a QBuffer's
// bytes directly and could send them again.
class ReadOnceBody : public QIODevice {
public:
    explicit ReadOnceBody(QByteArray bytes) : m_bytes(std::move(bytes)) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override { return m_bytes.size() - m_at + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 most) override
    {
        const qint64 n = std::min(most, static_cast<qint64>(m_bytes.size()) - m_at);
        std::memcpy(data, m_bytes.constData() + m_at, static_cast<std::size_t>(n));
        m_at += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_at = 0;
};

} // namespace

void QtHttpClient::start(const HttpRequest& request, std::function<void(HttpResponse)> done)
{
    if (!m_manager) {
        done(failure("the HTTP client is shutting down"));
        return;
    }
    const QUrl url(QString::fromStdString(request.url), QUrl::StrictMode);
    // Only the web: a file: or other URL from a server's answer must never be opened.
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
        url.host().isEmpty()) {
        done(failure("not an http or https URL: " + request.url));
        return;
    }
    QNetworkRequest outgoing(url);
    outgoing.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    for (const auto& [name, value] : request.headers)
        outgoing.setRawHeader(QByteArray::fromStdString(name), QByteArray::fromStdString(value));
    // Qt sends a request again by itself when the connection closes before an answer came, which
    // would deliver an upload or a marked event twice. A body it can read only once, and does not
    // buffer, makes that a failure instead (ContentReSendError); our own back-off decides what follows.
    outgoing.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    outgoing.setHeader(QNetworkRequest::ContentLengthHeader, QVariant::fromValue<qint64>(
                                                                 static_cast<qint64>(request.body.size())));
    auto* body = new ReadOnceBody(QByteArray::fromStdString(request.body));
    QNetworkReply* reply = m_manager->sendCustomRequest(outgoing, QByteArray::fromStdString(request.method), body);
    body->setParent(reply);
    // Qt reads ahead no further than this, so an endless answer costs a bounded amount of memory.
    reply->setReadBufferSize(std::min<qint64>(m_bodyLimit + 1, qint64{64} << 10));

    auto exchange = std::make_shared<Exchange>();
    exchange->done = std::move(done);
    const std::string tooLarge = "the answer is larger than " + std::to_string(m_bodyLimit) + " bytes";
    auto cut = [reply, exchange](const std::string& reason) {
        if (exchange->abortReason.empty())
            exchange->abortReason = reason;
        reply->abort();
    };

    auto* timer = new QTimer(reply);
    exchange->timer = timer;
    timer->setSingleShot(true);
    const int ms = timeoutMs(request.timeout);
    QObject::connect(timer, &QTimer::timeout, reply,
                     [cut, ms] { cut("no complete answer within " + std::to_string(ms) + " ms"); });
    timer->start(ms);

    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [this, reply, cut, tooLarge] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > m_bodyLimit)
            cut(tooLarge);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [this, reply, exchange, cut, tooLarge] {
        exchange->body += reply->readAll();
        if (exchange->body.size() > m_bodyLimit)
            cut(tooLarge);
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply, exchange] { finish(reply, *exchange); });
}

void QtHttpClient::finish(QNetworkReply* reply, Exchange& exchange)
{
    if (exchange.finished)
        return;
    exchange.finished = true;
    exchange.timer->stop();
    reply->deleteLater();

    HttpResponse response;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    response.status = status.isValid() ? status.toInt() : 0;
    const QNetworkReply::NetworkError error = reply->error();
    if (!exchange.abortReason.empty()) {
        response.error = exchange.abortReason;
    } else if (error == QNetworkReply::ContentReSendError && response.status == 0) {
        response.error = "the connection closed before an answer came (not sent again)";
    } else if (error != QNetworkReply::NoError && !(response.status >= 400 && statusOnly(error)) &&
               // An answer that Qt would follow or retry (a 307) with the body it cannot read again.
               !(error == QNetworkReply::ContentReSendError && response.status != 0)) {
        response.error = reply->errorString().toStdString();
    } else {
        exchange.body += reply->readAll();
        if (exchange.body.size() > m_bodyLimit)
            response.error = "the answer is larger than " + std::to_string(m_bodyLimit) + " bytes";
        else if (response.status == 0)
            response.error = "the answer carries no HTTP status";
        else
            response.body = exchange.body.toStdString();
    }
    auto done = std::move(exchange.done);
    done(std::move(response));
}

void QtHttpClient::complete(Completion completion, HttpResponse response)
{
    m_completions.start(HandOver([this, completion = std::move(completion), response = std::move(response)]() mutable {
        if (completion)
            completion(std::move(response));
        m_open.fetch_sub(1);
    }));
}

} // namespace velorin
