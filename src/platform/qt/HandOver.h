#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>

#include <condition_variable>
#include <mutex>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#define VELORIN_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELORIN_THREAD_SANITIZER 1
#endif
#endif

#ifdef VELORIN_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace velorin {

// Orderings that ThreadSanitizer cannot see by itself, told to it at an address (nothing elsewhere).
inline void seenRelease([[maybe_unused]] const void* at)
{
#ifdef VELORIN_THREAD_SANITIZER
    __tsan_release(const_cast<void*>(at));
#endif
}
inline void seenAcquire([[maybe_unused]] const void* at)
{
#ifdef VELORIN_THREAD_SANITIZER
    __tsan_acquire(const_cast<void*>(at));
#endif
}

// A task handed to another thread through Qt's event queue or thread pool. Qt orders the hand-over
// with futex-based locks inside its own (uninstrumented) libraries, so ThreadSanitizer would take
// everything the task touches for a race with what the poster did before posting. In a
// ThreadSanitizer build the hand-over is told to it: the last move into Qt's slot object releases
// at that object's address and the task acquires there before it runs (or is dropped unrun), and
// the other way round once it has run. Every other build gets the bare task.
template <typename Task>
class HandOver {
public:
    explicit HandOver(Task task) : m_task(std::move(task)) { seenRelease(this); }
    HandOver(HandOver&& other) noexcept : m_task(std::move(other.m_task)) { seenRelease(this); }
    HandOver(const HandOver& other) : m_task(other.m_task) { seenRelease(this); }
    HandOver& operator=(const HandOver&) = delete;
    ~HandOver() { seenAcquire(this); }

    template <typename... Args>
    void operator()(Args&&... args)
    {
        seenAcquire(this);
        m_task(std::forward<Args>(args)...);
        seenRelease(this); // Qt may free the slot object on the poster's thread
    }

private:
    Task m_task;
};

// Runs task on context's thread after what is queued there.
template <typename Task>
void postTo(QObject* context, Task task)
{
    QMetaObject::invokeMethod(context, HandOver<Task>(std::move(task)), Qt::QueuedConnection);
}

// Runs task on context's (other) thread and returns once it has run. Not Qt's blocking connection:
// its wait and the reply it reads back on this thread's stack after the task are invisible to
// ThreadSanitizer; a standard mutex and condition are not.
template <typename Task>
void runOn(QObject* context, Task task)
{
    std::mutex mutex;
    std::condition_variable changed;
    bool ran = false;
    postTo(context, [&] {
        task();
        std::lock_guard lock(mutex);
        ran = true;
        changed.notify_one();
    });
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return ran; });
}

// QThread::wait() is as invisible: the thread's `finished`, emitted on it after the last task it
// runs for us, is told as a release, and waitForEnd() acquires it. Call watchEnd() before start().
inline void watchEnd(QThread& thread)
{
    QObject::connect(&thread, &QThread::finished, &thread, [&thread] { seenRelease(&thread); }, Qt::DirectConnection);
}
inline void waitForEnd(QThread& thread)
{
    thread.wait();
    seenAcquire(&thread);
}

} // namespace velorin
