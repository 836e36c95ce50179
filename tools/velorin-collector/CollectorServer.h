#pragma once

#include "Collector.h"
#include "CollectorOptions.h"
#include "FaultInjector.h"
#include "UploadStore.h"
#include "platform/Log.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <semaphore>
#include <string>
#include <string_view>

namespace velorin {

class CollectorHttp;

} // namespace velorin

namespace httplib {
struct Response;
} // namespace httplib

namespace velorin {

// The collector on HTTP: cpp-httplib's thread pool serves the Collector's answers on 127.0.0.1,
// with the injected faults and delays wrapped around them.
class CollectorServer {
public:
    static constexpr std::size_t maxBodyBytes = std::size_t{16} << 20;
    // Bodies above this are handled at most largeBodySeats at a time.
    static constexpr std::size_t largeBodyBytes = std::size_t{1} << 20;
    static constexpr std::ptrdiff_t largeBodySeats = 2;
    static constexpr const char* host = "127.0.0.1";

    CollectorServer(CollectorOptions options, std::uint64_t seed, Log& log);
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
    static void respond(httplib::Response& response, const CollectorReply& reply);
    void hold();

    CollectorOptions m_options;
    std::uint64_t m_seed;
    Log& m_log;
    UploadStore m_store;
    FaultInjector m_faults;
    std::counting_semaphore<> m_largeBodies{largeBodySeats};
    std::unique_ptr<Collector> m_collector;
    std::unique_ptr<CollectorHttp> m_http;
    int m_port = 0;

    std::mutex m_stopMutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
};

} // namespace velorin
