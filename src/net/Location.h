#pragma once

#include <optional>

namespace velorin {

struct Coordinate {
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
};

// The device's position. Safe to use from any thread.
class Location {
public:
    virtual ~Location() = default;
    // Starts (or keeps) updates, background updates allowed. Calling it again does no harm.
    virtual void startUpdatingLocation() = 0;
    // The last known position; nullopt while none is known.
    virtual std::optional<Coordinate> lastKnown() const = 0;
};

} // namespace velorin
