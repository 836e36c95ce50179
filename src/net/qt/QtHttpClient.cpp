#include "net/qt/QtHttpClient.h"

#include "net/qt/HttpExchange.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QSslSocket>
#include <QTcpSocket>
#include <QUrl>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <future>
#include <string_view>
#include <variant>

namespace velorin {

namespace {

// Servers close idle connections after a few seconds (the collector after five); one left longer
// might be closed just as a request goes out on it, and that request would fail.
constexpr auto reuseWithin = std::chrono::seconds(2);
// As many as the upload queue keeps open to one server.
constexpr std::size_t idlePerServer = 4;

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

bool isLoopback(const QString& host)
{
    const QHostAddress address(host);
    return (!address.isNull() && address.isLoopback()) ||
           host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

bool isToken(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 ||
               std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
    });
}

bool isFieldValue(const std::string& text)
{
    return std::none_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
}

bool sameName(const std::string& a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

// Where a request's connection goes and how the request names its target.
struct HttpRoute {
    QString host; // the server's, or an HTTP proxy's
    quint16 port = 0;
    bool tls = false;
    QNetworkProxy proxy{QNetworkProxy::NoProxy}; // the socket's own: SOCKS, or a tunnel to an https server
    bool wholeUrl = false;                       // an HTTP proxy takes the whole URL as the target
    QByteArray proxyAuthorization;
    QString key; // connections with the same key may carry each other's requests

    explicit HttpRoute(const QUrl& url)
    {
        host = url.host();
        tls = url.scheme() == QLatin1String("https");
        port = static_cast<quint16>(url.port(tls ? 443 : 80));
        // Loopback traffic stays on this machine: no proxy ever sees it.
        if (!isLoopback(host)) {
            const QNetworkProxy chosen =
                QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url)).value(0, QNetworkProxy::NoProxy);
            const bool http =
                chosen.type() == QNetworkProxy::HttpProxy || chosen.type() == QNetworkProxy::HttpCachingProxy;
            if (http && !tls) {
                host = chosen.hostName();
                port = chosen.port();
                wholeUrl = true;
                if (!chosen.user().isEmpty())
                    proxyAuthorization = "Basic " + (chosen.user() + ':' + chosen.password()).toUtf8().toBase64();
            } else if (chosen.type() == QNetworkProxy::HttpProxy || chosen.type() == QNetworkProxy::Socks5Proxy) {
                proxy = chosen;
            }
        }
        key = QStringLiteral("%1 %2 %3:%4 %5:%6")
                  .arg(tls)
                  .arg(wholeUrl)
                  .arg(proxy.hostName())
                  .arg(proxy.port())
                  .arg(host)
                  .arg(port);
    }
};

namespace {

// The request as it goes on the wire, or the reason it cannot go.
std::variant<QByteArray, std::string> wire(const HttpRequest& request, const QUrl& url, const HttpRoute& route)
{
    if (!isToken(request.method))
        return "not a request method: " + request.method;
    QByteArray target;
    if (route.wholeUrl) {
        target = url.toEncoded(QUrl::RemoveUserInfo | QUrl::RemoveFragment);
    } else {
        target = url.path(QUrl::FullyEncoded).toUtf8();
        if (target.isEmpty())
            target = "/";
        if (url.hasQuery())
            target += '?' + url.query(QUrl::FullyEncoded).toUtf8();
    }
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(256 + request.body.size()));
    bytes += QByteArray::fromStdString(request.method) + ' ' + target +
             " HTTP/1.1\r\nHost: " + url.authority(QUrl::FullyEncoded | QUrl::RemoveUserInfo).toUtf8() + "\r\n";
    for (const auto& [name, value] : request.headers) {
        if (!isToken(name) || !isFieldValue(value))
            return "not a header field: " + name;
        // Both come from the request itself.
        if (sameName(name, "Host") || sameName(name, "Content-Length"))
            continue;
        bytes += QByteArray::fromStdString(name) + ": " + QByteArray::fromStdString(value) + "\r\n";
    }
    if (!route.proxyAuthorization.isEmpty())
        bytes += "Proxy-Authorization: " + route.proxyAuthorization + "\r\n";
    bytes += "Content-Length: " + QByteArray::number(static_cast<qsizetype>(request.body.size())) + "\r\n\r\n";
    bytes.append(request.body.data(), static_cast<qsizetype>(request.body.size()));
    return bytes;
}

} // namespace

QtHttpClient::QtHttpClient(qint64 bodyLimit) : m_bodyLimit(bodyLimit), m_context(new QObject)
{
    m_thread.setObjectName(QStringLiteral("velorin-http"));
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
}

QtHttpClient::~QtHttpClient()
{
    m_closing.store(true);
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            m_stopped = true;
            while (!m_exchanges.empty())
                (*m_exchanges.begin())->abort("the HTTP client is shutting down");
            for (auto& [key, idle] : m_idle)
                for (const Idle& connection : idle)
                    drop(connection.socket);
            m_idle.clear();
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void QtHttpClient::send(HttpRequest request, Completion completion)
{
    m_open.fetch_add(1);
    QMetaObject::invokeMethod(
        m_context,
        [this, request = std::move(request), completion = std::move(completion)]() mutable {
            start(request, [this, completion = std::move(completion)](HttpResponse response) mutable {
                if (completion)
                    completion(std::move(response));
                m_open.fetch_sub(1);
            });
        },
        Qt::QueuedConnection);
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
    // Once the answer is there this thread touches nothing of the client, which may be going away.
    QMetaObject::invokeMethod(
        m_context,
        [this, request, promise] {
            start(request, [this, promise](HttpResponse response) {
                m_open.fetch_sub(1);
                promise->set_value(std::move(response));
            });
        },
        Qt::QueuedConnection);
    try {
        return future.get();
    } catch (const std::future_error&) {
        // The client shut down before the request went out.
        return failure("the HTTP client is shutting down");
    }
}

void QtHttpClient::start(const HttpRequest& request, Completion done)
{
    if (m_stopped) {
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
    const HttpRoute route(url);
    std::variant<QByteArray, std::string> bytes = wire(request, url, route);
    if (const std::string* problem = std::get_if<std::string>(&bytes)) {
        done(failure(*problem));
        return;
    }
    QTcpSocket* socket = connection(route);
    auto* exchange = new HttpExchange(*socket, route.tls, std::move(std::get<QByteArray>(bytes)), m_bodyLimit,
                                      timeoutMs(request.timeout), request.method == "HEAD",
                                      [this, socket, key = route.key, done = std::move(done)](
                                          HttpExchange& self, HttpResponse response, bool reusable) {
                                          m_exchanges.erase(&self);
                                          self.deleteLater();
                                          if (reusable)
                                              keep(key, socket);
                                          else
                                              drop(socket);
                                          done(std::move(response));
                                      });
    exchange->setParent(m_context);
    m_exchanges.insert(exchange);
    exchange->start();
}

QTcpSocket* QtHttpClient::connection(const HttpRoute& route)
{
    if (auto found = m_idle.find(route.key); found != m_idle.end()) {
        const auto now = std::chrono::steady_clock::now();
        while (!found->second.empty()) {
            const Idle idle = found->second.back();
            found->second.pop_back();
            QObject::disconnect(idle.socket, nullptr, m_context, nullptr);
            if (idle.socket->state() == QAbstractSocket::ConnectedState && idle.socket->bytesAvailable() == 0 &&
                now - idle.since < reuseWithin)
                return idle.socket;
            drop(idle.socket);
        }
    }
    QTcpSocket* socket = route.tls ? new QSslSocket(m_context) : new QTcpSocket(m_context);
    // Set even when it is none: the application's proxy is not looked up again for every connection.
    socket->setProxy(route.proxy);
    if (route.tls)
        static_cast<QSslSocket*>(socket)->connectToHostEncrypted(route.host, route.port);
    else
        socket->connectToHost(route.host, route.port);
    return socket;
}

void QtHttpClient::keep(const QString& key, QTcpSocket* socket)
{
    std::vector<Idle>& idle = m_idle[key];
    if (m_stopped || idle.size() >= idlePerServer) {
        drop(socket);
        return;
    }
    idle.push_back({socket, std::chrono::steady_clock::now()});
    // Closed by the server, or sent something nobody asked for: no use any more.
    auto forget = [this, key, socket] {
        std::vector<Idle>& left = m_idle[key];
        std::erase_if(left, [socket](const Idle& i) { return i.socket == socket; });
        drop(socket);
    };
    QObject::connect(socket, &QAbstractSocket::disconnected, m_context, forget);
    QObject::connect(socket, &QIODevice::readyRead, m_context, forget);
}

void QtHttpClient::drop(QTcpSocket* socket)
{
    QObject::disconnect(socket, nullptr, m_context, nullptr);
    socket->abort();
    socket->deleteLater();
}

} // namespace velorin
