#include "platform/StopSignals.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace velorin {

namespace {

std::atomic<bool> g_signalled{false};
int g_pipe[2] = {-1, -1};

void onSignal(int)
{
    g_signalled.store(true);
    if (g_pipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    }
}

} // namespace

void installStopSignals()
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_pipe[0] = g_pipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
}

bool stopSignalled()
{
    return g_signalled.load();
}

int stopSignalFd()
{
    return g_pipe[0];
}

} // namespace velorin
