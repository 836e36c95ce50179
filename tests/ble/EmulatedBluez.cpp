#include "EmulatedBluez.h"

#include "../e2e/ExecProgram.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace velorin {

namespace {

using namespace std::chrono_literals;

const QString service = QStringLiteral("org.bluez");
constexpr auto startLimit = 15s;

// A system bus that lets anyone own and call anything: the emulation claims org.bluez.
const char* const busConfiguration = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=@SOCKET@</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
)";

pid_t launch(const char* program, const std::vector<std::string>& args, const std::string& logFile,
             const std::string& busAddress = {})
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int log = ::open(logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        ::dup2(log, 1);
        ::dup2(log, 2);
        if (!busAddress.empty())
            ::setenv("DBUS_SYSTEM_BUS_ADDRESS", busAddress.c_str(), 1);
        execProgram(program, args);
    }
    return pid;
}

void end(pid_t& pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

QByteArray bytes(const std::vector<std::uint8_t>& value)
{
    return QByteArray(reinterpret_cast<const char*>(value.data()), static_cast<qsizetype>(value.size()));
}

QDBusObjectPath objectPath(const std::string& path)
{
    return QDBusObjectPath(QString::fromStdString(path));
}

} // namespace

EmulatedBluez::EmulatedBluez(const std::string& dir) : m_dir(dir)
{
    qDBusRegisterMetaType<QList<QByteArray>>();
    const std::string socket = dir + "/system_bus_socket";
    std::string config = busConfiguration;
    config.replace(config.find("@SOCKET@"), 8, socket);
    std::ofstream(dir + "/bus.conf") << config;
    m_address = "unix:path=" + socket;
    m_bus = launch("/usr/bin/dbus-daemon", {"--config-file=" + dir + "/bus.conf", "--nofork", "--nopidfile"},
                   dir + "/bus.log");
    const auto deadline = std::chrono::steady_clock::now() + startLimit;
    while (!m_connection) {
        QDBusConnection connection = QDBusConnection::connectToBus(QString::fromStdString(m_address),
                                                                   QStringLiteral("emulated-bluez-control"));
        if (connection.isConnected()) {
            m_connection = connection;
            break;
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("emulated-bluez-control"));
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("the private system bus did not start; see " + dir + "/bus.log");
        std::this_thread::sleep_for(10ms);
    }
    startService();
}

EmulatedBluez::~EmulatedBluez()
{
    end(m_service);
    m_connection.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("emulated-bluez-control"));
    end(m_bus);
}

void EmulatedBluez::exportTo() const
{
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", m_address.c_str(), 1);
    // Nothing else of the desktop is there; the session bus is the same private one.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", m_address.c_str(), 1);
    // Qt takes BlueZ's D-Bus API only for a bluetoothd it knows to be 5.42 or later.
    ::setenv("BLUETOOTH_FORCE_DBUS_LE_VERSION", "5.66", 1);
}

void EmulatedBluez::startService()
{
    if (m_service > 0)
        return;
    m_service = launch("/usr/bin/python3", {"-m", "dbusmock", "--system", "--template", VELORIN_BLUEZ_TEMPLATE},
                       m_dir + "/bluez.log", m_address);
    waitForService(true);
}

void EmulatedBluez::stopService()
{
    end(m_service);
    waitForService(false);
}

void EmulatedBluez::waitForService(bool registered)
{
    const auto deadline = std::chrono::steady_clock::now() + startLimit;
    while (m_connection->interface()->isServiceRegistered(service).value() != registered) {
        if (std::chrono::steady_clock::now() > deadline)
            throw std::runtime_error("the emulated BlueZ did not " + std::string(registered ? "start" : "stop") +
                                     "; see " + m_dir + "/bluez.log");
        std::this_thread::sleep_for(10ms);
    }
}

QDBusMessage EmulatedBluez::control(const QString& method, const QVariantList& arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/"), QStringLiteral("org.bluez.Mock"),
                                                       method);
    call.setArguments(arguments);
    const QDBusMessage answer = m_connection->call(call);
    if (answer.type() == QDBusMessage::ErrorMessage)
        throw std::runtime_error("emulated BlueZ: " + method.toStdString() + ": " + answer.errorMessage().toStdString());
    return answer;
}

QVariant EmulatedBluez::argument(const std::string& text)
{
    if (text.starts_with('/'))
        return QVariant::fromValue(objectPath(text));
    return QString::fromStdString(text);
}

QVariant EmulatedBluez::argument(const std::vector<std::uint8_t>& value)
{
    return bytes(value);
}

QVariant EmulatedBluez::argument(const std::vector<std::vector<std::uint8_t>>& packets)
{
    QList<QByteArray> values;
    for (const auto& packet : packets)
        values.append(bytes(packet));
    return QVariant::fromValue(values);
}

std::string EmulatedBluez::addDevice(const std::string& address, const std::string& name, bool nimbo)
{
    const QDBusMessage answer =
        control(QStringLiteral("AddDevice"), {QString::fromStdString(address), QString::fromStdString(name), nimbo});
    return answer.arguments().value(0).value<QDBusObjectPath>().path().toStdString();
}

void EmulatedBluez::setInRange(const std::string& device, bool inRange, int rssi)
{
    control(QStringLiteral("SetInRange"), {QVariant::fromValue(objectPath(device)), inRange,
                                          QVariant::fromValue(static_cast<qint16>(rssi))});
}

void EmulatedBluez::setProperty(const std::string& path, const std::string& interface, const std::string& name,
                                const QVariant& value)
{
    auto mockCall = [&](const QString& method, const QVariantList& arguments) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, QString::fromStdString(path),
                                                           QStringLiteral("org.freedesktop.DBus.Mock"), method);
        call.setArguments(arguments);
        const QDBusMessage answer = m_connection->call(call);
        if (answer.type() == QDBusMessage::ErrorMessage)
            throw std::runtime_error("emulated BlueZ: " + method.toStdString() + ": " +
                                     answer.errorMessage().toStdString());
    };
    const QString iface = QString::fromStdString(interface), key = QString::fromStdString(name);
    // Added first when missing, then changed, so that the change is announced.
    QDBusMessage get = QDBusMessage::createMethodCall(service, QString::fromStdString(path),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get.setArguments({iface, key});
    if (m_connection->call(get).type() == QDBusMessage::ErrorMessage)
        mockCall(QStringLiteral("AddProperty"), {iface, key, QVariant::fromValue(QDBusVariant(value))});
    mockCall(QStringLiteral("UpdateProperties"), {iface, QVariantMap{{key, value}}});
}

SensorSaw EmulatedBluez::stats(const std::string& device)
{
    const QDBusMessage answer = control(QStringLiteral("Stats"), {QVariant::fromValue(objectPath(device))});
    const QVariantMap map = qdbus_cast<QVariantMap>(answer.arguments().value(0));
    SensorSaw saw;
    saw.connects = map.value(QStringLiteral("connects")).toInt();
    for (const QByteArray& write : qdbus_cast<QList<QByteArray>>(map.value(QStringLiteral("writes"))))
        saw.writes.emplace_back(write.begin(), write.end());
    for (const QString& type : qdbus_cast<QStringList>(map.value(QStringLiteral("write-types"))))
        saw.writeTypes.push_back(type.toStdString());
    const auto reads = qdbus_cast<QMap<QString, int>>(map.value(QStringLiteral("reads")));
    for (auto read = reads.begin(); read != reads.end(); ++read)
        saw.reads[read.key().toStdString()] = read.value();
    return saw;
}

} // namespace velorin
