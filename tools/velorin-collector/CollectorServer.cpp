#include "CollectorServer.h"

#include <httplib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <exception>
#include <sys/socket.h>

namespace velorin {

// httplib listens with a backlog of 5, which turns a burst of connections away at the door before
// the thread pool ever sees them. The listening socket is ours to widen once it is bound.
class CollectorHttp : public httplib::Server {
public:
    void widenBacklog() { ::listen(svr_sock_, SOMAXCONN); }
};

namespace {

// Enough threads that a few slow clients do not hold up the rest. Each holds at most one body, and
// bodies over a megabyte also need one of the few seats below.
constexpr std::size_t workerThreads = 8;

// A seat among the few bodies over largeBodyBytes that may be in hand at once; small ones need none.
class LargeBodySlot {
public:
    LargeBodySlot(std::counting_semaphore<>& seats, bool large) : m_seats(large ? &seats : nullptr)
    {
        if (m_seats)
            m_seats->acquire();
    }
    ~LargeBodySlot()
    {
        if (m_seats)
            m_seats->release();
    }
    LargeBodySlot(const LargeBodySlot&) = delete;
    LargeBodySlot& operator=(const LargeBodySlot&) = delete;

private:
    std::counting_semaphore<>* m_seats;
};

} // namespace

CollectorServer::CollectorServer(CollectorOptions options, std::uint64_t seed, Log& log)
    : m_options(std::move(options)), m_seed(seed), m_log(log), m_store(m_options.dataDir),
      m_faults(m_options.failRate, m_options.emptyRate, seed ^ 0x9e3779b97f4a7c15ULL),
      m_http(std::make_unique<CollectorHttp>())
{
}

CollectorServer::~CollectorServer() = default;

bool CollectorServer::open(std::string& problem)
{
    if (const FileResult prepared = m_store.prepare(); !prepared.ok) {
        problem = prepared.error;
        return false;
    }
    // httplib's default also sets SO_REUSEPORT, which would let a second collector share a port that
    // is in use instead of being told so.
    m_http->set_socket_options([](socket_t sock) {
        const int on = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    });
    // Answers go out as headers and body in two writes; without this the second waits for the
    // client's delayed acknowledgement.
    m_http->set_tcp_nodelay(true);
    const bool bound = m_options.port == 0 ? (m_port = m_http->bind_to_any_port(host)) > 0
                                           : m_http->bind_to_port(host, m_options.port);
    if (!bound) {
        problem = "cannot listen on " + std::string(host) + ":" + std::to_string(m_options.port);
        return false;
    }
    if (m_options.port != 0)
        m_port = m_options.port;
    m_http->widenBacklog();
    m_collector = std::make_unique<Collector>(std::string(host) + ":" + std::to_string(m_port), m_options.users, m_seed,
                                              m_store, m_log);

    CollectorHttp& http = *m_http;
    http.new_task_queue = [] { return new httplib::ThreadPool(workerThreads); };
    http.set_payload_max_length(maxBodyBytes);

    http.Post("/api/login", [this](const httplib::Request& request, httplib::Response& response) {
        const CollectorReply reply = answer(&Collector::login, request.get_header_value("Content-Type"), request.body);
        hold();
        respond(response, reply);
    });
    // Uploads read their own body, so that large ones can be taken a few at a time: while in hand, a
    // body costs several times its size (the text, its JSON value, the decoded bytes).
    http.Post(Collector::writePath, [this](const httplib::Request& request, httplib::Response& response,
                                           const httplib::ContentReader& read) {
        CollectorReply reply;
        {
            const std::string length = request.get_header_value("Content-Length");
            std::size_t declared = 0;
            const bool known =
                std::from_chars(length.data(), length.data() + length.size(), declared).ec == std::errc{};
            // A body declared over the limit is skipped unread; one of unknown length (chunked) may be large.
            const bool refused = known && declared > maxBodyBytes;
            LargeBodySlot slot(m_largeBodies, !refused && (!known || declared > largeBodyBytes));
            std::string body;
            if (known && !refused)
                body.reserve(declared);
            const bool whole = read([&](const char* data, std::size_t size) {
                body.append(data, size);
                return true;
            });
            reply = whole ? answer(&Collector::writeTicksBase, request.get_header_value("Content-Type"), body)
                          : m_collector->reject(400, request.path, "the body is over 16 MiB or was cut short");
        }
        hold();
        respond(response, reply);
    });
    http.Get("/stats",
             [this](const httplib::Request&, httplib::Response& response) { respond(response, m_collector->stats()); });

    // httplib's own refusals (a login form over the limit, a request it cannot read, an unknown path)
    // arrive here without a body; ours always carry one and pass unchanged.
    http.set_error_handler(
        httplib::Server::HandlerWithResponse([this](const httplib::Request& request, httplib::Response& response) {
            if (!response.body.empty())
                return httplib::Server::HandlerResponse::Unhandled;
            CollectorReply reply;
            if (response.status == 413) // only the login's form gets here; uploads read their own bodies
                reply = m_collector->reject(400, request.path, "the login form is over 8 KiB");
            else if (response.status == 400)
                reply = m_collector->reject(400, request.path, "a malformed request");
            else
                reply = {response.status, response.status == 404 ? "no such endpoint\n" : "refused\n",
                         "text/plain; charset=utf-8"};
            respond(response, reply);
            return httplib::Server::HandlerResponse::Handled;
        }));
    http.set_exception_handler(
        [this](const httplib::Request& request, httplib::Response& response, std::exception_ptr error) {
            std::string what = "unknown";
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                what = e.what();
            } catch (...) {
            }
            m_log.line("500 " + request.path + ": " + what);
            response.status = 500;
            response.set_content("internal error\n", "text/plain; charset=utf-8");
        });
    return true;
}

CollectorReply CollectorServer::answer(CollectorReply (Collector::*handler)(std::string_view, std::string_view),
                                       std::string_view contentType, std::string_view body)
{
    const FaultInjector::Fault fault = m_faults.draw();
    m_collector->countInjected(fault);
    if (fault == FaultInjector::Fault::fail)
        return {500, "injected failure\n", "text/plain; charset=utf-8"};
    CollectorReply reply = ((*m_collector).*handler)(contentType, body);
    if (fault == FaultInjector::Fault::empty)
        reply = {200, "", "text/plain; charset=utf-8"};
    return reply;
}

void CollectorServer::respond(httplib::Response& response, const CollectorReply& reply)
{
    response.status = reply.status;
    response.set_content(reply.body, reply.contentType.c_str());
}

bool CollectorServer::run()
{
    return m_http->listen_after_bind();
}

void CollectorServer::stop()
{
    {
        std::lock_guard lock(m_stopMutex);
        m_stopping = true;
    }
    m_stopped.notify_all();
    m_http->stop();
}

void CollectorServer::hold()
{
    if (m_options.delayMs <= 0)
        return;
    std::unique_lock lock(m_stopMutex);
    m_stopped.wait_for(lock, std::chrono::milliseconds(m_options.delayMs), [this] { return m_stopping; });
}

} // namespace velorin
