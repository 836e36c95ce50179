#pragma once

#include "app/SleepInhibitor.h"

#include <QDBusUnixFileDescriptor>

#include <memory>

class QDBusPendingCallWatcher;

namespace velorin {

// The sleep lock as a logind inhibitor on the system bus: sleep and idle are blocked while the
// descriptor logind hands out stays open. Main thread.
class LogindInhibitor : public SleepInhibitor {
public:
    LogindInhibitor();
    ~LogindInhibitor() override;
    LogindInhibitor(const LogindInhibitor&) = delete;
    LogindInhibitor& operator=(const LogindInhibitor&) = delete;

    void acquire(Outcome outcome) override;
    void release() override;

private:
    // The request under way. Deleting it cancels the call, and a lock that arrives after that is
    // closed unseen, which lets it go.
    std::unique_ptr<QDBusPendingCallWatcher> m_pending;
    QDBusUnixFileDescriptor m_lock;
};

} // namespace velorin
