#pragma once

#include <QObject>

#include <functional>
#include <set>
#include <string>

namespace velorin {

// Asks BlueZ (without waiting) which devices it holds a link to. A sensor left linked by an earlier
// run that ended abruptly does not advertise, so a scan never hears it; it is there all the same.
// `answer` runs on context's thread with the addresses ("AA:BB:CC:DD:EE:FF"), empty when BlueZ
// does not answer.
void askLinkedDevices(QObject* context, std::function<void(const std::set<std::string>&)> answer);

} // namespace velorin
