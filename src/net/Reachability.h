#pragma once

namespace velorin {

// Whether a general internet route is reachable; an unknown state counts as reachable.
// Safe to ask from any thread.
class Reachability {
public:
    virtual ~Reachability() = default;
    virtual bool reachable() const = 0;
};

} // namespace velorin
