#pragma once

#include "net/Reachability.h"

#include <QMetaObject>

#include <atomic>

namespace velorin {

// Reachability through QNetworkInformation. Only a known disconnection counts as unreachable: an
// unknown state, or a system without any backend, lets uploads try. Changes arrive while the thread
// that made it runs an event loop; reachable() may be asked from any thread.
class QtReachability : public Reachability {
public:
    QtReachability();
    ~QtReachability() override;
    QtReachability(const QtReachability&) = delete;
    QtReachability& operator=(const QtReachability&) = delete;

    bool reachable() const override { return m_reachable.load(); }

private:
    std::atomic<bool> m_reachable{true};
    QMetaObject::Connection m_changes;
};

} // namespace velorin
