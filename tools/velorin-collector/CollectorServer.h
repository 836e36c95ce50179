#pragma once

#include "Collector.h"
#include "CollectorOptions.h"
#include "FaultInjector.h"
#include "HttpLimits.h"
#include "UploadStore.h"
#include "platform/Log.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace velorin {

class HttpServer;

// The collector on HTTP: a few threads serve the Collector's answers on 127.0.0.1, with the injected
// faults and delays wrapped around them.
class CollectorServer {
public:
    static constexpr std::size_t maxBodyBytes = std::size_t{16} << 20;
    static constexpr std::size_t maxFormBytes = std::size_t{8} << 10;
    static constexpr const char* host = "127.0.0.1";

    CollectorServer(CollectorOptions options, std::uint64_t seed, Log& log, HttpLimits limits = {});
    ~CollectorServer();
    CollectorServer(const CollectorServer&) = delete;
    CollectorServer& operator=(const CollectorServer&) = delete;

    // Prepares the data directory and binds the port; false with the reason when either fails.
    bool open(std::string& problem);
    int port() const { return m_port; }
    // Serves until stop() is called; returns false when serving could not start.
    bool run();
    // From any thread. Answers held back by --delay-ms go out at once.
    void stop();

private:
    // The Collector's answer with the injected fault, if one is drawn, in its place.
    CollectorReply answer(CollectorReply (Collector::*handler)(std::string_view, std::string_view),
                          std::string_view contentType, std::string_view body);

    CollectorOptions m_options;
    std::uint64_t m_seed;
    Log& m_log;
    UploadStore m_store;
    FaultInjector m_faults;
    std::unique_ptr<Collector> m_collector;
    std::unique_ptr<HttpServer> m_http;
    int m_port = 0;
};

} // namespace velorin
