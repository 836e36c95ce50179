#pragma once

#include <functional>

namespace velorin {

using Task = std::function<void()>;

// A serial queue: tasks run one at a time, in the order they were posted, never inside the caller.
class Queue {
public:
    virtual ~Queue() = default;
    virtual void async(Task task) = 0;
};

} // namespace velorin
