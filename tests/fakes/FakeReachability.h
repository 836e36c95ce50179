#pragma once

#include "net/Reachability.h"

namespace velorin {

class FakeReachability : public Reachability {
public:
    bool reachable() const override { return online; }
    bool online = true;
};

} // namespace velorin
