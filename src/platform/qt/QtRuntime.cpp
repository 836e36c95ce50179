#include "platform/qt/QtRuntime.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <chrono>
#include <cmath>

namespace velorin {

QtRuntime::QtRuntime() : m_bluetoothContext(new QObject)
{
    m_thread.setObjectName(QStringLiteral("com.lumora.corebluetooth.queue"));
    m_bluetoothContext->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_bluetoothContext, &QObject::deleteLater);
    m_thread.start();
}

QtRuntime::~QtRuntime()
{
    shutdown();
}

void QtRuntime::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    // quit() is handled after the tasks already queued on the thread's loop.
    QMetaObject::invokeMethod(m_bluetoothContext, [this] { m_thread.quit(); }, Qt::QueuedConnection);
    m_thread.wait();
}

void QtRuntime::ObjectQueue::async(Task task)
{
    QMetaObject::invokeMethod(m_target, std::move(task), Qt::QueuedConnection);
}

Timers::Id QtRuntime::QtTimers::repeating(double intervalSeconds, Task action, bool fireNow)
{
    return start(intervalSeconds, std::move(action), true, fireNow);
}

Timers::Id QtRuntime::QtTimers::oneShot(double delaySeconds, Task action)
{
    return start(delaySeconds, std::move(action), false, false);
}

Timers::Id QtRuntime::QtTimers::start(double seconds, Task action, bool repeat, bool fireNow)
{
    Id id;
    {
        std::lock_guard lock(m_mutex);
        id = m_next++;
    }
    const int ms = static_cast<int>(std::lround(seconds * 1000.0));
    // Timers belong to the main thread whichever thread asks for them.
    QMetaObject::invokeMethod(
        m_owner,
        [this, id, ms, repeat, fireNow, action = std::move(action)] {
            auto* timer = new QTimer(m_owner);
            timer->setTimerType(Qt::PreciseTimer);
            timer->setSingleShot(!repeat);
            timer->setInterval(ms);
            m_active[id] = timer;
            QObject::connect(timer, &QTimer::timeout, m_owner, [this, id, repeat, action] {
                if (!repeat) {
                    auto found = m_active.find(id);
                    if (found != m_active.end()) {
                        found->second->deleteLater();
                        m_active.erase(found);
                    }
                }
                action();
            });
            timer->start();
            if (fireNow)
                QMetaObject::invokeMethod(m_owner, action, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return id;
}

void QtRuntime::QtTimers::cancel(Id id)
{
    QMetaObject::invokeMethod(
        m_owner,
        [this, id] {
            auto found = m_active.find(id);
            if (found == m_active.end())
                return;
            found->second->stop();
            found->second->deleteLater();
            m_active.erase(found);
        },
        Qt::QueuedConnection);
}

double QtRuntime::SystemClock::now() const
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

} // namespace velorin
