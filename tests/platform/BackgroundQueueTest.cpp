#include "platform/BackgroundQueue.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace velorin {
namespace {

TEST(BackgroundQueue, RunsTasksInOrderOnItsOwnThreadAndFinishesThemWhenDestroyed)
{
    std::mutex mutex;
    std::vector<int> order;
    std::vector<std::thread::id> threads;
    {
        BackgroundQueue queue;
        for (int i = 0; i < 5; ++i)
            queue.async([&, i] {
                std::lock_guard lock(mutex);
                order.push_back(i);
                threads.push_back(std::this_thread::get_id());
                // A task queued by a task still runs before the queue ends.
                if (i == 4)
                    queue.async([&] { order.push_back(5); });
            });
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    for (const auto id : threads) {
        EXPECT_NE(id, std::this_thread::get_id());
        EXPECT_EQ(id, threads.front());
    }
}

} // namespace
} // namespace velorin
