#include "sensor/qt/BluetoothPath.h"

#include <QBluetoothLocalDevice>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QVersionNumber>

namespace velorin {

namespace {

const QString bluezService = QStringLiteral("org.bluez");
const QVersionNumber firstDbusGatt(5, 42);

struct Version {
    QVersionNumber number; // null when it could not be read
    QString source;
};

Version bluetoothdVersion(QDBusConnectionInterface& bus)
{
    if (const QByteArray forced = qgetenv("BLUETOOTH_FORCE_DBUS_LE_VERSION"); !forced.isEmpty())
        return {QVersionNumber::fromString(QString::fromLatin1(forced)), QStringLiteral("BLUETOOTH_FORCE_DBUS_LE_VERSION")};
    const auto pid = bus.servicePid(bluezService);
    if (!pid.isValid())
        return {{}, QStringLiteral("the owner of org.bluez")};
    const QString program = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid.value())).symLinkTarget();
    if (program.isEmpty())
        return {{}, QStringLiteral("process %1, whose program cannot be read").arg(pid.value())};
    QProcess query;
    query.start(program, {QStringLiteral("--version")});
    const bool answered = query.waitForFinished(1000);
    if (!answered)
        query.kill();
    const auto match = QRegularExpression(QStringLiteral("^(\\d+\\.\\d+)\\s*$"))
                           .match(QString::fromLatin1(query.readAllStandardOutput()).trimmed());
    return {match.hasMatch() ? QVersionNumber::fromString(match.captured(1)) : QVersionNumber(),
            program + QStringLiteral(" --version")};
}

} // namespace

std::string describeBluetoothPath()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface())
        return "Bluetooth: no system bus (" + bus.lastError().message().toStdString() +
               "); no sensor can be reached";
    if (!bus.interface()->isServiceRegistered(bluezService))
        return "Bluetooth: BlueZ (org.bluez) does not run on the system bus; no sensor can be reached until it does";
    if (QBluetoothLocalDevice::allDevices().isEmpty())
        return "Bluetooth: BlueZ runs but has no adapter; no sensor can be reached until one is plugged in";
    const Version version = bluetoothdVersion(*bus.interface());
    if (version.number.isNull())
        return "Bluetooth: the version of bluetoothd could not be read (" + version.source.toStdString() +
               "); Qt asks the adapter, and unless it finds 5.42 or later uses the kernel's ATT socket. "
               "BLUETOOTH_FORCE_DBUS_LE_VERSION set to the running version makes it use BlueZ's D-Bus API";
    const std::string from = "bluetoothd " + version.number.toString().toStdString() + " from " +
                             version.source.toStdString();
    if (version.number >= firstDbusGatt)
        return "Bluetooth: BlueZ's D-Bus GATT API (" + from + ")";
    return "Bluetooth: the kernel's ATT socket (" + from + " is older than 5.42)";
}

} // namespace velorin
