#pragma once

// What the Qt tests share: a still clock, a bounded spin of the event loop, screenshots on request,
// and an HTTP server on 127.0.0.1 whose handlers can hold their answer back.

#include "platform/Clock.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace velorin {

struct FixedClock : Clock {
    double now() const override { return 1.7e9; }
    Nanoseconds monotonic() const override { return Nanoseconds{0}; }
};

// Spins the event loop, deferred deletes included, until done or 10 s have passed.
inline bool waitFor(const std::function<bool()>& done)
{
    QTimer tick;
    tick.start(10);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

// With VELORIN_SCREENSHOTS=DIR the window is saved there, to be looked at.
inline void screenshot(QWidget& window, const QString& name)
{
    if (const QString dir = qEnvironmentVariable("VELORIN_SCREENSHOTS"); !dir.isEmpty())
        window.grab().save(dir + "/" + name);
}

// A cpp-httplib server on 127.0.0.1, on a port of the system's choosing.
class LoopbackServer {
public:
    LoopbackServer() : m_port(m_server.bind_to_any_port("127.0.0.1"))
    {
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        // A stop() that comes before the server listens is lost, and the join would wait forever.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!m_server.is_running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
    }
    ~LoopbackServer()
    {
        release();
        m_server.stop();
        m_thread.join();
    }

    httplib::Server& operator*() { return m_server; }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(m_port) + path; }

    // For handlers that hold their answer back: they wait (boundedly) until released or the test ends.
    void holdBack()
    {
        std::unique_lock lock(m_mutex);
        m_released.wait_for(lock, std::chrono::seconds(30), [this] { return m_free; });
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_free = true;
        m_released.notify_all();
    }

private:
    httplib::Server m_server;
    int m_port;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_free = false;
};

} // namespace velorin
