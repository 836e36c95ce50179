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
    // Any other of the emulation's controls (org.bluez.Mock on /, in bluez_nimbo.py), its arguments
    // typed as there: a text starting with '/' goes as an object path.
    template <typename... Args> void call(const char* method, const Args&... arguments)
    {
        control(QString::fromLatin1(method), {argument(arguments)...});
    }
    // Sets a property of any emulated object as given, of whatever D-Bus type the variant holds.
    void setProperty(const std::string& path, const std::string& interface, const std::string& name,
                     const QVariant& value);
    SensorSaw stats(const std::string& device);

private:
    QDBusMessage control(const QString& method, const QVariantList& arguments);
    static QVariant argument(const char* text) { return argument(std::string(text)); }
    static QVariant argument(const std::string& text);
    static QVariant argument(const std::vector<std::uint8_t>& value);
    static QVariant argument(const std::vector<std::vector<std::uint8_t>>& packets);
    template <typename T> static QVariant argument(const T& value) { return QVariant::fromValue(value); }
    void waitForService(bool registered);

    std::string m_dir;
    std::string m_address;
    pid_t m_bus = -1;
    pid_t m_service = -1;
    std::optional<QDBusConnection> m_connection;
};

} // namespace velorin
