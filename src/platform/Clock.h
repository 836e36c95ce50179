#pragma once

namespace velorin {

// Wall-clock time as seconds since the Unix epoch (UTC), with a fraction.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
};

} // namespace velorin
