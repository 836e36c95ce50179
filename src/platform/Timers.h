#pragma once

#include "platform/Queue.h"
#include "platform/Seconds.h"

#include <cstdint>

namespace velorin {

// Run-loop timers. Every timer fires on the main queue, whichever thread created it.
class Timers {
public:
    using Id = std::uint64_t;
    virtual ~Timers() = default;

    // Fires every interval; the first time after one interval, or at once when fireNow is set.
    // Spans up to longestSpan are kept exactly; longer ones are cut to it.
    virtual Id repeating(Nanoseconds interval, Task action, bool fireNow = false) = 0;
    virtual Id oneShot(Nanoseconds delay, Task action) = 0;
    // Cancelling an unknown or finished timer does nothing.
    virtual void cancel(Id id) = 0;
};

} // namespace velorin
