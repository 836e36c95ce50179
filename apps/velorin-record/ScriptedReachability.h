#pragma once

#include "net/Reachability.h"

#include <atomic>

namespace velorin {

// The network as the recorder reports it: the system's own answer until a script says "offline"
// or "online", then that from then on.
class ScriptedReachability : public Reachability {
public:
    explicit ScriptedReachability(const Reachability& system) : m_system(system) {}

    bool reachable() const override
    {
        const int forced = m_forced.load();
        return forced == unset ? m_system.reachable() : forced == online;
    }
    void force(bool reachable) { m_forced.store(reachable ? online : offline); }

private:
    static constexpr int unset = 0, offline = 1, online = 2;
    const Reachability& m_system;
    std::atomic<int> m_forced{unset};
};

} // namespace velorin
