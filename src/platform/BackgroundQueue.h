#pragma once

#include "platform/Queue.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace velorin {

// A serial queue on a thread of its own, for work that may block for a while (a login waiting for
// its answer) and so must stay off the main queue and the Bluetooth queue.
class BackgroundQueue : public Queue {
public:
    BackgroundQueue();
    // Runs what is still queued (also what those tasks queue), then ends the thread.
    ~BackgroundQueue() override;
    BackgroundQueue(const BackgroundQueue&) = delete;
    BackgroundQueue& operator=(const BackgroundQueue&) = delete;

    void async(Task task) override;

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    bool m_stopping = false;
    std::thread m_thread; // last, so that it starts after everything it uses
};

} // namespace velorin
