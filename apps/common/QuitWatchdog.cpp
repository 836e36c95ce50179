#include "QuitWatchdog.h"

#include "monitor/MonitorSession.h"
#include "platform/Log.h"
#include "platform/StopSignals.h"

#include <chrono>
#include <cstdlib>
#include <future>

namespace velorin {

namespace {

using namespace std::chrono_literals;
// A stop signal has no flag to wait on: it is looked for this often.
constexpr auto signalLook = 100ms;
// What the main thread is given to end the run itself after a stop signal.
constexpr auto ownEnd = 1500ms;
constexpr auto flushAtMost = 400ms;

} // namespace

QuitWatchdog::QuitWatchdog(Log& log) : m_log(log), m_thread([this] { run(); }) {}

QuitWatchdog::~QuitWatchdog()
{
    loopEnded();
    m_thread.join();
}

void QuitWatchdog::loopEnded()
{
    std::lock_guard lock(m_mutex);
    m_loopEnded = true;
    m_changed.notify_all();
}

void QuitWatchdog::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_loopEnded && !stopSignalled())
        m_changed.wait_for(lock, signalLook);
    if (m_changed.wait_for(lock, ownEnd, [this] { return m_loopEnded; }))
        return;
    // The lock stays held from here to the exit: the normal end cannot begin meanwhile.
    m_log.line("The main thread did not answer the stop signal: the recording is flushed and the program ends");
    if (MonitorSession* session = m_session.load()) {
        auto flushed = std::make_shared<std::promise<void>>();
        std::future<void> done = flushed->get_future();
        session->flushOnQuit([flushed] { flushed->set_value(); });
        done.wait_for(flushAtMost);
        // The last chunk's upload may never leave a stuck process: it waits in the Buffer instead.
        session->keepUnansweredRequests();
    }
    std::_Exit(0);
}

} // namespace velorin
