#pragma once

#include "platform/Clock.h"
#include "platform/Queue.h"
#include "platform/Timers.h"

#include <QObject>
#include <QThread>
#include <QTimer>

#include <memory>
#include <mutex>
#include <unordered_map>

namespace velorin {

// Real-time runtime: the main queue is the Qt main thread's event loop, the Bluetooth queue a
// QThread with its own event loop, timers are precise QTimers living on the main thread.
// Construct it on the main thread after the QCoreApplication.
class QtRuntime {
public:
    QtRuntime();
    ~QtRuntime();
    QtRuntime(const QtRuntime&) = delete;
    QtRuntime& operator=(const QtRuntime&) = delete;

    Queue& mainQueue() { return m_main; }
    Queue& bluetoothQueue() { return m_bluetooth; }
    Timers& timers() { return m_timers; }
    const Clock& clock() const { return m_clock; }

    // Lets the Bluetooth queue finish what it holds, then ends its thread.
    void shutdown();

private:
    class ObjectQueue : public Queue {
    public:
        explicit ObjectQueue(QObject* target) : m_target(target) {}
        void async(Task task) override;

    private:
        QObject* m_target;
    };
    class QtTimers : public Timers {
    public:
        explicit QtTimers(QObject* owner) : m_owner(owner) {}
        Id repeating(Nanoseconds interval, Task action, bool fireNow) override;
        Id oneShot(Nanoseconds delay, Task action) override;
        void cancel(Id id) override;

    private:
        // A QTimer holds at most about 24 days, so a longer span is waited out in legs against a
        // deadline on the monotonic clock; that also keeps a repeating timer from drifting.
        struct Entry {
            QTimer* timer;
            Nanoseconds deadline;
            Nanoseconds interval; // zero for a one-shot timer
            Task action;
        };
        Id start(Nanoseconds span, Task action, bool repeat, bool fireNow);
        void arm(Entry& entry);
        void expired(Id id);
        QObject* m_owner;
        std::mutex m_mutex;
        Id m_next = 1;
        std::unordered_map<Id, Entry> m_active; // touched on the main thread only
    };
    class SystemClock : public Clock {
    public:
        double now() const override;
        Nanoseconds monotonic() const override;
    };

    QObject m_mainContext;
    QThread m_thread;
    QObject* m_bluetoothContext;
    ObjectQueue m_main{&m_mainContext};
    ObjectQueue m_bluetooth{m_bluetoothContext};
    QtTimers m_timers{&m_mainContext};
    SystemClock m_clock;
    bool m_shutDown = false;
};

} // namespace velorin
