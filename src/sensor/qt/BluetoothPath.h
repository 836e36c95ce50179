#pragma once

#include <string>

namespace velorin {

// One log line on how QtBluetooth will reach the sensor, and why. On Linux Qt 6.4 uses BlueZ's
// D-Bus GATT API only when it takes bluetoothd for 5.42 or later: the version comes from
// BLUETOOTH_FORCE_DBUS_LE_VERSION, else from `--version` of the program that owns org.bluez; without
// either, Qt asks the adapter and falls back to the kernel's ATT socket. Also says so when there is
// no system bus, no BlueZ or no adapter. Blocks for at most a second (the version query).
std::string describeBluetoothPath();

} // namespace velorin
