#pragma once

#include "platform/Queue.h"

#include <cstdint>

namespace velorin {

// Run-loop timers. Every timer fires on the main queue, whichever thread created it.
class Timers {
public:
    using Id = std::uint64_t;
    virtual ~Timers() = default;

    // Fires every intervalSeconds; the first time after one interval, or at once when fireNow is set.
    virtual Id repeating(double intervalSeconds, Task action, bool fireNow = false) = 0;
    virtual Id oneShot(double delaySeconds, Task action) = 0;
    // Cancelling an unknown or finished timer does nothing.
    virtual void cancel(Id id) = 0;
};

} // namespace velorin
