#include "PartialOutput.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace velorin {

namespace {

// Read by the handler, which may only touch what needs no allocation and no lock.
char g_path[PATH_MAX];
std::atomic<bool> g_armed{false};

void onStop(int signal)
{
    if (g_armed.load())
        ::unlink(g_path);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void installOnce()
{
    static const bool installed = [] {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction old {};
            // A signal the caller ignores (nohup, a background job) stays ignored.
            if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
                continue;
            struct sigaction action {};
            action.sa_handler = onStop;
            sigemptyset(&action.sa_mask);
            ::sigaction(signal, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

} // namespace

void removeOnStop(const std::string& path)
{
    installOnce();
    g_armed.store(false);
    if (path.empty() || path.size() >= sizeof g_path)
        return;
    std::memcpy(g_path, path.c_str(), path.size() + 1);
    g_armed.store(true);
}

} // namespace velorin
