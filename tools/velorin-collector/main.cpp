// velorin-collector: the login and collection server for development, demos and tests. See
// docs/velorin-collector.md for its manual.

#include "CollectorOptions.h"
#include "CollectorServer.h"
#include "VelorinVersion.h"
#include "platform/EscapedText.h"
#include "platform/StandardStreams.h"
#include "platform/StreamLog.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <random>
#include <thread>
#include <unistd.h>

using namespace velorin;

namespace {

constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "velorin-collector: %s\n", escapeControl(message).c_str());
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    // A client that hangs up before its answer is written must not end the server.
    std::signal(SIGPIPE, SIG_IGN);
    openClosedStandardStreams();
    // Large blocks (request bodies, decoded uploads) come from and go back to the system. Otherwise
    // the allocator raises its threshold after the first large free and keeps such blocks in each
    // worker thread's arena: a flood of large bodies would leave hundreds of MiB resident.
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CollectorOptionsResult parsed = parseCollectorOptions(args);
    if (!parsed.options) {
        std::fprintf(stderr, "velorin-collector: %s\n%s", escapeControl(parsed.error).c_str(), collectorUsage);
        return exitUsage;
    }
    if (parsed.options->help) {
        std::fputs(collectorUsage, stdout);
        return 0;
    }
    if (parsed.options->version) {
        std::printf("velorin-collector %s\n", velorinVersion);
        return 0;
    }

    // SIGINT, SIGTERM and SIGHUP (a closed terminal) are blocked before any other thread exists, so
    // every thread inherits the mask, and taken by one thread that waits for them: the server is then
    // stopped from an ordinary thread rather than from a signal handler. SIGUSR1 wakes that thread
    // when the server ends by itself.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigaddset(&stopSignals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    StreamLog log(stderr);
    HttpLimits limits;
    limits.bodyTime = std::chrono::seconds(parsed.options->bodySeconds);
    CollectorServer server(*parsed.options, std::random_device{}(), log, limits);
    std::string problem;
    if (!server.open(problem))
        return fail(exitFailure, problem);

    std::atomic<bool> stopping{false};
    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        stopping = true;
        if (signal != SIGUSR1)
            log.line("Stopping on signal " + std::to_string(signal));
        server.stop();
    });
    std::printf("listening on %s:%d\n", CollectorServer::host, server.port());
    std::fflush(stdout);
    server.run();
    const bool signalled = stopping.exchange(true);
    if (!signalled)
        pthread_kill(waiter.native_handle(), SIGUSR1);
    waiter.join();
    if (!signalled)
        return fail(exitFailure, "the server stopped accepting connections");
    return 0;
}
