#pragma once

#include "platform/Log.h"
#include "sensor/BleCentral.h"

namespace velorin {

// Makes centrals over QtBluetooth. Needs a QCoreApplication whose thread runs its event loop; the
// log (adapter failures) outlives the centrals.
class QtBleCentralFactory : public BleCentralFactory {
public:
    explicit QtBleCentralFactory(Log& log) : m_log(log) {}
    std::unique_ptr<BleCentral> createCentral(CentralDelegate& delegate, Queue& bluetoothQueue,
                                              std::string_view restoreIdentifier) override;

private:
    Log& m_log;
};

} // namespace velorin
