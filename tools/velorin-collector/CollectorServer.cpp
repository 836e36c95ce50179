#include "CollectorServer.h"

#include "HttpServer.h"

#include <chrono>

namespace velorin {

namespace {

// Enough threads that a few long uploads do not hold up the rest; waiting for a client costs none.
constexpr std::size_t workerThreads = 8;

} // namespace

CollectorServer::CollectorServer(CollectorOptions options, std::uint64_t seed, Log& log, HttpLimits limits)
    : m_options(std::move(options)), m_seed(seed), m_log(log), m_store(m_options.dataDir),
      m_faults(m_options.failRate, m_options.emptyRate, seed ^ 0x9e3779b97f4a7c15ULL),
      m_http(std::make_unique<HttpServer>(limits, log))
{
}

CollectorServer::~CollectorServer() = default;

bool CollectorServer::open(std::string& problem)
{
    if (const FileResult prepared = m_store.prepare(); !prepared.ok) {
        problem = prepared.error;
        return false;
    }
    if (!m_http->bind(host, m_options.port)) {
        problem = "cannot listen on " + std::string(host) + ":" + std::to_string(m_options.port);
        return false;
    }
    m_port = m_http->port();
    m_collector = std::make_unique<Collector>(std::string(host) + ":" + std::to_string(m_port), m_options.users, m_seed,
                                              m_store, m_log);

    HttpServer& http = *m_http;
    http.holdAnswers(std::chrono::milliseconds(m_options.delayMs));
    http.refuseWith(
        [this](std::string_view path, const std::string& reason) { return m_collector->reject(400, path, reason); });
    http.route("POST", "/api/login",
               {maxFormBytes, "the login form is over 8 KiB", true, [this](const HttpRequest& request) {
                    return answer(&Collector::login, request.contentType, request.body);
                }});
    http.route("POST", Collector::writePath,
               {maxBodyBytes, "the body is over 16 MiB", true, [this](const HttpRequest& request) {
                    return answer(&Collector::writeTicksBase, request.contentType, request.body);
                }});
    http.route("GET", "/stats", {0, {}, false, [this](const HttpRequest&) { return m_collector->stats(); }});
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

bool CollectorServer::run()
{
    if (!m_collector)
        return false;
    m_http->run(workerThreads);
    return true;
}

void CollectorServer::stop()
{
    m_http->stop();
}

} // namespace velorin
