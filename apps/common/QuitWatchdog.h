#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velorin {

class Log;
class MonitorSession;

// Ends the program within about two seconds of SIGINT, SIGTERM or SIGHUP even when the main thread
// does not come back to its event loop (stuck in a platform call, such as a Bluetooth service that
// does not answer): the last partial chunk is flushed on the Bluetooth queue, which does not need the
// main thread, and the process exits at once.
class QuitWatchdog {
public:
    explicit QuitWatchdog(Log& log);
    ~QuitWatchdog();
    QuitWatchdog(const QuitWatchdog&) = delete;
    QuitWatchdog& operator=(const QuitWatchdog&) = delete;

    // The monitor session whose recording is flushed; set on the main thread once it exists.
    void watch(MonitorSession* session) { m_session.store(session); }
    // The event loop returned: the normal end takes over. Waits while the watchdog is ending the process.
    void loopEnded();

private:
    void run();

    Log& m_log;
    std::atomic<MonitorSession*> m_session{nullptr};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_loopEnded = false;
    std::thread m_thread;
};

} // namespace velorin
