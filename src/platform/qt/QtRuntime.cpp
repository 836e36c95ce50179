#include "platform/qt/QtRuntime.h"

#include "platform/qt/HandOver.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace velorin {

QtRuntime::QtRuntime() : m_bluetoothContext(new QObject)
{
    m_thread.setObjectName(QStringLiteral("com.lumora.corebluetooth.queue"));
    m_bluetoothContext->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_bluetoothContext, &QObject::deleteLater);
    watchEnd(m_thread);
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
    postTo(m_bluetoothContext, [this] { m_thread.quit(); });
    waitForEnd(m_thread);
}

void QtRuntime::ObjectQueue::async(Task task)
{
    postTo(m_target, std::move(task));
}

namespace {

Nanoseconds steadyNow()
{
    return std::chrono::duration_cast<Nanoseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

} // namespace

Timers::Id QtRuntime::QtTimers::repeating(Nanoseconds interval, Task action, bool fireNow)
{
    return start(interval, std::move(action), true, fireNow);
}

Timers::Id QtRuntime::QtTimers::oneShot(Nanoseconds delay, Task action)
{
    return start(delay, std::move(action), false, false);
}

Timers::Id QtRuntime::QtTimers::start(Nanoseconds span, Task action, bool repeat, bool fireNow)
{
    Id id;
    {
        std::lock_guard lock(m_mutex);
        id = m_next++;
    }
    span = std::clamp(span, Nanoseconds{0}, longestSpan);
    if (repeat)
        span = std::max(span, Nanoseconds{std::chrono::milliseconds(1)});
    const Nanoseconds asked = steadyNow();
    // Timers belong to the main thread whichever thread asks for them.
    postTo(
        m_owner,
        [this, id, span, repeat, fireNow, asked, action = std::move(action)]() mutable {
            auto* timer = new QTimer(m_owner);
            timer->setTimerType(Qt::PreciseTimer);
            timer->setSingleShot(true);
            QObject::connect(timer, &QTimer::timeout, m_owner, [this, id] { expired(id); });
            Entry& entry = m_active[id];
            entry = Entry{timer, asked + span, repeat ? span : Nanoseconds{0}, std::move(action)};
            arm(entry);
            if (fireNow) {
                Task first = entry.action;
                QMetaObject::invokeMethod(m_owner, std::move(first), Qt::QueuedConnection);
            }
        });
    return id;
}

void QtRuntime::QtTimers::arm(Entry& entry)
{
    using namespace std::chrono;
    constexpr milliseconds longestLeg = hours(24) * 20;
    const Nanoseconds left = std::max(entry.deadline - steadyNow(), Nanoseconds{0});
    // Rounded up, so a leg never ends before its deadline.
    const milliseconds leg = std::min(ceil<milliseconds>(left), longestLeg);
    entry.timer->start(static_cast<int>(leg.count()));
}

void QtRuntime::QtTimers::expired(Id id)
{
    auto found = m_active.find(id);
    if (found == m_active.end())
        return;
    Entry& entry = found->second;
    if (steadyNow() < entry.deadline) {
        arm(entry); // one leg of a long wait has passed
        return;
    }
    if (entry.interval == Nanoseconds{0}) {
        Task action = std::move(entry.action);
        entry.timer->deleteLater();
        m_active.erase(found);
        action();
        return;
    }
    // Late fires are not made up: the next one is due one interval after the latest due time
    // that has passed.
    const Nanoseconds now = steadyNow();
    entry.deadline += entry.interval * ((now - entry.deadline) / entry.interval + 1);
    arm(entry);
    // The action may cancel its own timer; run a copy.
    Task action = entry.action;
    action();
}

void QtRuntime::QtTimers::cancel(Id id)
{
    postTo(
        m_owner,
        [this, id] {
            auto found = m_active.find(id);
            if (found == m_active.end())
                return;
            found->second.timer->stop();
            found->second.timer->deleteLater();
            m_active.erase(found);
        });
}

double QtRuntime::SystemClock::now() const
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

Nanoseconds QtRuntime::SystemClock::monotonic() const
{
    return steadyNow();
}

} // namespace velorin
