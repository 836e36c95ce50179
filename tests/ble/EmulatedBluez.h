#pragma once

// The Bluetooth service as a program meets it on a Linux desktop, emulated: a private system bus
// (dbus-daemon) with bluez_nimbo.py on it under python3-dbusmock. The programs under test reach it
// through DBUS_SYSTEM_BUS_ADDRESS, so QtBluetooth's own BlueZ code runs. Needs a QCoreApplication.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariant>

#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace velorin {

// What an emulated device saw.
struct SensorSaw {
    int connects = 0;
    std::vector<std::vector<std::uint8_t>> writes;
    std::vector<std::string> writeTypes;
    std::map<std::string, int> reads; // by UUID, lower case
};

class EmulatedBluez {
public:
    // Starts the bus (its socket in dir) and the service. Throws when either does not come up.
    explicit EmulatedBluez(const std::string& dir);
    ~EmulatedBluez();
    EmulatedBluez(const EmulatedBluez&) = delete;
    EmulatedBluez& operator=(const EmulatedBluez&) = delete;

    const std::string& busAddress() const { return m_address; }
    // Sets what a program run in a forked child needs to reach the emulation.
    void exportTo() const;

    // bluetoothd stopping (killed) and starting again, with its adapter and no devices.
    void stopService();
    void startService();

    // A device BlueZ knows; heard only once in range. Returns its object path.
    std::string addDevice(const std::string& address, const std::string& name, bool nimbo = true);
    void setInRange(const std::string& device, bool inRange, int rssi = -60);
    void dropLink(const std::string& device);
    // A link left over from a program that ended without letting go.
    void link(const std::string& device);
    void forget(const std::string& device);
    void setPowered(bool powered);
    // mode: ok, fail or vanish (connects, then the device goes), after delay seconds.
    void setConnect(const std::string& device, const std::string& mode, double delaySeconds);
    // what: read:UUID or write:UUID (16-bit, lower case).
    void refuse(const std::string& device, const std::string& what, bool refused = true);
    // How every call to the service is answered: "" as usual or "error".
    void setFault(const std::string& fault);
    void setValue(const std::string& device, const std::string& uuid, const std::vector<std::uint8_t>& value);
    void stream(const std::string& device, const std::vector<std::vector<std::uint8_t>>& packets,
                double intervalSeconds);
    void addCrowd(unsigned count, const std::string& name);
    // Sets a property of any emulated object as given, of whatever D-Bus type the variant holds.
    void setProperty(const std::string& path, const std::string& interface, const std::string& name,
                     const QVariant& value);
    SensorSaw stats(const std::string& device);

private:
    QDBusMessage control(const QString& method, const QVariantList& arguments);
    void waitForService(bool registered);

    std::string m_dir;
    std::string m_address;
    pid_t m_bus = -1;
    pid_t m_service = -1;
    std::optional<QDBusConnection> m_connection;
};

} // namespace velorin
