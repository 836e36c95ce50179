#pragma once

#include "platform/Seconds.h"

namespace velorin {

class Clock {
public:
    virtual ~Clock() = default;
    // Wall-clock time as seconds since the Unix epoch (UTC), with a fraction.
    virtual double now() const = 0;
    // Time that only goes forward, counted from an arbitrary origin, for measuring spans exactly.
    virtual Nanoseconds monotonic() const = 0;
};

} // namespace velorin
