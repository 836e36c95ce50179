#include "sensor/qt/QtBleCentralFactory.h"

#include "sensor/ClosingCentral.h"
#include "sensor/qt/QtBleCentral.h"

namespace velorin {

std::unique_ptr<BleCentral> QtBleCentralFactory::createCentral(CentralDelegate& delegate, Queue& bluetoothQueue,
                                                               std::string_view /*restoreIdentifier*/)
{
    // The platform relaunches nothing for us on this desktop, so there is never a state to restore.
    return std::make_unique<ClosingCentral<QtBleCentral>>(QtBleCentral::create(delegate, bluetoothQueue, m_log));
}

} // namespace velorin
