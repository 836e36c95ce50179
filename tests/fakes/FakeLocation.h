#pragma once

#include "net/Location.h"

namespace velorin {

class FakeLocation : public Location {
public:
    void startUpdatingLocation() override { ++starts; }
    std::optional<Coordinate> lastKnown() const override { return position; }
    std::optional<Coordinate> position;
    int starts = 0;
};

} // namespace velorin
