#pragma once

#include <QBluetoothUuid>

#include <string>

namespace velorin {

// A UUID as the ports write it: the 16-bit short form in upper-case hex ("2A37") for a UUID of the
// Bluetooth base range, else the 36-character form in upper case.
std::string bleUuidText(const QBluetoothUuid& uuid);

} // namespace velorin
