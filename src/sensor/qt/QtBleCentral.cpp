#include "sensor/qt/QtBleCentral.h"

#include "sensor/qt/BluetoothPath.h"
#include "sensor/qt/BluezLinks.h"
#include "platform/qt/HandOver.h"
#include "sensor/qt/QtBleConnection.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QThread>
#include <QTimer>
#include <QUuid>

namespace velorin {

namespace {

// Most platforms name a device by its address only; a name-based UUID of the address is as stable.
const QUuid addressNamespace(QStringLiteral("{5b0f7c1e-8d2a-4c3b-9e61-2f4a7d9c0b13}"));
// Devices not connected are forgotten beyond this many, the least recently seen first, so a busy place
// fills no memory.
constexpr std::size_t mostKnownDevices = 512;

// As BlueZ spells an address in its device objects.
std::string addressOf(const QBluetoothDeviceInfo& device)
{
    return device.address().toString().toUpper().toStdString();
}

std::string identifierOf(const QBluetoothDeviceInfo& device)
{
    QUuid uuid = device.deviceUuid();
    if (uuid.isNull())
        uuid = QUuid::createUuidV5(addressNamespace, device.address().toString());
    return uuid.toString(QUuid::WithoutBraces).toUpper().toStdString();
}

} // namespace

template <typename... Args>
auto QtBleCentral::guarded(void (QtBleCentral::*method)(Args...))
{
    // Qt objects may outlive the central for a moment when it is closed from another thread.
    return [weak = weak_from_this(), method](Args... args) {
        if (auto self = weak.lock(); self && !self->isClosed())
            ((*self).*method)(args...);
    };
}

QtBleCentral::QtBleCentral(CentralDelegate& delegate, Queue& bluetoothQueue, Log& log)
    : m_delegate(delegate), m_queue(bluetoothQueue), m_log(log)
{
}

QtBleCentral::~QtBleCentral() = default;

std::shared_ptr<QtBleCentral> QtBleCentral::create(CentralDelegate& delegate, Queue& bluetoothQueue, Log& log)
{
    std::shared_ptr<QtBleCentral> central(new QtBleCentral(delegate, bluetoothQueue, log));
    QCoreApplication* application = QCoreApplication::instance();
    if (!application) {
        central->m_state = CentralState::unsupported;
        central->deliver([c = central.get()] { c->m_delegate.centralManagerDidUpdateState(); });
        return central;
    }
    central->m_context = new QObject;
    central->m_context->moveToThread(application->thread());
    // Queued even on the Qt thread, so the state is reported after the calling task has finished.
    central->onQtThread([](QtBleCentral& c) { c.setUp(); });
    return central;
}

void QtBleCentral::close()
{
    {
        std::lock_guard gate(m_gate->mutex); // waits for a callback that is running
        m_gate->closed = true;
    }
    QObject* context = nullptr;
    {
        std::lock_guard lock(m_hopMutex);
        m_closed = true;
        context = std::exchange(m_context, nullptr);
    }
    if (!context)
        return;
    // Deleting the context deletes the discovery, the local device and every link (which disconnects).
    if (QThread::currentThread() == context->thread())
        delete context;
    else
        context->deleteLater();
}

void QtBleCentral::onQtThread(std::function<void(QtBleCentral&)> task)
{
    std::lock_guard lock(m_hopMutex);
    if (m_closed || !m_context)
        return;
    postTo(m_context, [weak = weak_from_this(), task = std::move(task)] {
        if (auto self = weak.lock(); self && !self->isClosed())
            task(*self);
    });
}

void QtBleCentral::deliver(std::function<void()> task)
{
    if (m_closed)
        return;
    m_queue.async([weak = weak_from_this(), gate = m_gate, task = std::move(task)] {
        std::lock_guard lock(gate->mutex);
        if (gate->closed)
            return;
        if (auto self = weak.lock())
            task();
    });
}

void QtBleCentral::logOnce(const std::string& line)
{
    if (line == m_lastLogged)
        return;
    m_lastLogged = line;
    m_log.line(line);
}

void QtBleCentral::setUp()
{
    // The Bluetooth service may stop and start again while we run; QtBluetooth does not say so.
    m_serviceWatcher = new QDBusServiceWatcher(QStringLiteral("org.bluez"), QDBusConnection::systemBus(),
                                               QDBusServiceWatcher::WatchForRegistration |
                                                   QDBusServiceWatcher::WatchForUnregistration,
                                               m_context);
    QObject::connect(m_serviceWatcher, &QDBusServiceWatcher::serviceRegistered, m_context,
                     guarded(&QtBleCentral::serviceStarted));
    QObject::connect(m_serviceWatcher, &QDBusServiceWatcher::serviceUnregistered, m_context,
                     guarded(&QtBleCentral::serviceStopped));
    m_log.line(describeBluetoothPath());
    refreshState(true);
}

void QtBleCentral::serviceStarted()
{
    m_serviceGone = false;
    m_log.line(describeBluetoothPath());
    refreshState(false);
}

void QtBleCentral::serviceStopped()
{
    m_serviceGone = true;
    refreshState(false);
}

CentralState QtBleCentral::readState()
{
    // Whatever was there before reads as switched off; what never was, as unsupported.
    const CentralState missing = m_hadAdapter ? CentralState::poweredOff : CentralState::unsupported;
    if (m_serviceGone)
        return missing;
    if (!m_local || !m_local->isValid()) {
        // A local device that lost its adapter never finds one again: a new one looks afresh.
        if (m_local)
            m_local->deleteLater();
        if (QBluetoothLocalDevice::allDevices().isEmpty())
            return missing;
        m_local = new QBluetoothLocalDevice(m_context);
        QObject::connect(m_local, &QBluetoothLocalDevice::hostModeStateChanged, m_context,
                         guarded(&QtBleCentral::radioChanged));
        QObject::connect(m_local, &QBluetoothLocalDevice::errorOccurred, m_context,
                         guarded(&QtBleCentral::radioChanged));
        if (!m_local->isValid())
            return missing;
    }
    m_hadAdapter = true;
    return m_local->hostMode() == QBluetoothLocalDevice::HostPoweredOff ? CentralState::poweredOff
                                                                         : CentralState::poweredOn;
}

void QtBleCentral::refreshState(bool report)
{
    const CentralState next = readState();
    const CentralState was = m_state.exchange(next);
    // BlueZ runs but showed no adapter (none yet, or it answered with errors): nothing tells when one
    // comes, so it is looked for again now and then.
    if (!m_serviceGone && (!m_local || !m_local->isValid()) && !m_adapterCheckPending) {
        m_adapterCheckPending = true;
        QTimer::singleShot(adapterCheckInterval, m_context, guarded(&QtBleCentral::checkAdapter));
    }
    if (next == was && !report)
        return;
    const bool on = next == CentralState::poweredOn;
    if (!on) {
        // A discovery agent keeps the adapter it started with: the next scan gets a new one.
        m_scanning = false;
        if (m_agent) {
            m_agent->stop();
            m_agent->deleteLater();
            m_agent = nullptr;
        }
    }
    deliver([this] { m_delegate.centralManagerDidUpdateState(); });
    if (on)
        return;
    const auto connections = m_connections;
    for (const auto& [peripheral, connection] : connections) {
        const bool wasUp = connection->isUp();
        connection->abandon();
        endLink(*connection, wasUp, "Bluetooth is not available");
    }
}

void QtBleCentral::scanForPeripherals()
{
    onQtThread([](QtBleCentral& c) { c.scan(); });
}

void QtBleCentral::scan()
{
    if (m_state != CentralState::poweredOn)
        return;
    m_scanning = true;
    m_reported.clear();
    if (!m_agent) {
        m_agent = new QBluetoothDeviceDiscoveryAgent(m_context);
        m_agent->setLowEnergyDiscoveryTimeout(0); // until stopped, as scans are
        QObject::connect(m_agent, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered, m_context,
                         guarded(&QtBleCentral::deviceSeen));
        QObject::connect(m_agent, &QBluetoothDeviceDiscoveryAgent::deviceUpdated, m_context,
                         guarded(&QtBleCentral::deviceSeen));
        QObject::connect(m_agent, &QBluetoothDeviceDiscoveryAgent::errorOccurred, m_context,
                         guarded(&QtBleCentral::discoveryFailed));
    }
    // Started afresh, a discovery reports again the devices that an earlier one found.
    if (m_agent->isActive())
        m_agent->stop();
    m_agent->start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
    askLinkedDevices(m_context, guarded(&QtBleCentral::linkedDevicesAnswered));
}

void QtBleCentral::linkedDevicesAnswered(const std::set<std::string>& addresses)
{
    m_linked = addresses;
    std::vector<QBluetoothDeviceInfo> unreported;
    for (const auto& [identifier, known] : m_known)
        if (m_linked.count(addressOf(known.peripheral->device())) &&
            !m_reported.count(identifier))
            unreported.push_back(known.peripheral->device());
    for (const QBluetoothDeviceInfo& device : unreported)
        deviceSeen(device);
}

void QtBleCentral::checkAdapter()
{
    m_adapterCheckPending = false;
    refreshState(false);
}

void QtBleCentral::retryScan()
{
    m_retryPending = false;
    if (m_scanning)
        scan();
}

void QtBleCentral::stopScan()
{
    onQtThread([](QtBleCentral& c) {
        c.m_scanning = false;
        if (c.m_agent && c.m_agent->isActive())
            c.m_agent->stop();
    });
}

void QtBleCentral::discoveryFailed()
{
    if (!m_agent)
        return;
    const auto error = m_agent->error();
    logOnce("Bluetooth discovery failed: " + m_agent->errorString().toStdString());
    if (error == QBluetoothDeviceDiscoveryAgent::PoweredOffError ||
        error == QBluetoothDeviceDiscoveryAgent::InvalidBluetoothAdapterError)
        refreshState(false);
    // A discovery BlueZ turned down (busy, not ready, a passing fault) is not tried again by anyone
    // else: without this the sensor would never be found again. One retry waits at a time.
    if (m_scanning && !m_retryPending && m_state == CentralState::poweredOn) {
        m_retryPending = true;
        QTimer::singleShot(scanRetryDelay, m_context, guarded(&QtBleCentral::retryScan));
    }
}

void QtBleCentral::deviceSeen(const QBluetoothDeviceInfo& device)
{
    if (!(device.coreConfigurations() & QBluetoothDeviceInfo::LowEnergyCoreConfiguration))
        return;
    const std::string identifier = identifierOf(device);
    // Qt gives one name for a device: the advertised one, or one the platform keeps for it.
    const std::string name = device.name().toStdString();
    if (m_known.size() >= mostKnownDevices && !m_known.count(identifier))
        forgetLeastRecentlySeen();
    Known& known = m_known[identifier];
    known.seen = ++m_seenCount;
    if (!known.peripheral)
        known.peripheral = std::make_shared<QtBlePeripheral>(weak_from_this(), m_gate, identifier, name);
    else
        known.peripheral->setName(name);
    known.peripheral->setDevice(device);
    // At the start of a discovery BlueZ hands over every device it remembers, heard or not; one
    // without a signal strength is not advertising now, and dialling it would hang until BlueZ
    // gives up. It is reported once it is heard (BlueZ counts 0 as no strength too), or at once
    // when BlueZ still holds a link to it.
    const bool heard = device.rssi() != 0 || m_linked.count(addressOf(device));
    if (!heard || !m_scanning || !m_reported.insert(identifier).second)
        return;
    AdvertisementData advertisement;
    if (!name.empty())
        advertisement.localName = name;
    deliver([this, peripheral = known.peripheral, advertisement, rssi = static_cast<int>(device.rssi())] {
        m_delegate.centralManagerDidDiscoverPeripheral(peripheral, advertisement, rssi);
    });
}

void QtBleCentral::forgetLeastRecentlySeen()
{
    auto oldest = m_known.end();
    for (auto entry = m_known.begin(); entry != m_known.end(); ++entry)
        if (!connectionOf(*entry->second.peripheral) && (oldest == m_known.end() || entry->second.seen < oldest->second.seen))
            oldest = entry;
    if (oldest != m_known.end())
        m_known.erase(oldest);
}

void QtBleCentral::connectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral)
{
    onQtThread([peripheral](QtBleCentral& c) {
        auto ours = std::dynamic_pointer_cast<QtBlePeripheral>(peripheral);
        if (!ours || c.m_state != CentralState::poweredOn || c.connectionOf(*ours))
            return;
        // A crowd of others may have pushed the device out of those seen since it was reported; it
        // carries what a connection needs, and is known again as the one being connected.
        Known& known = c.m_known[ours->identifier()];
        if (known.peripheral && known.peripheral != ours && c.connectionOf(*known.peripheral))
            return;
        known.peripheral = ours;
        known.seen = ++c.m_seenCount;
        auto* connection = new QtBleConnection(c.weak_from_this(), ours, ours->device(), c.m_context);
        c.m_connections[ours.get()] = connection;
        ours->setState(PeripheralState::connecting);
        connection->open();
    });
}

void QtBleCentral::cancelPeripheralConnection(const std::shared_ptr<BlePeripheral>& peripheral)
{
    onQtThread([peripheral](QtBleCentral& c) {
        const auto* ours = dynamic_cast<const QtBlePeripheral*>(peripheral.get());
        if (QtBleConnection* connection = ours ? c.connectionOf(*ours) : nullptr) {
            connection->abandon();
            c.endLink(*connection, true, {});
        }
    });
}

QtBleConnection* QtBleCentral::connectionOf(const QtBlePeripheral& peripheral) const
{
    const auto found = m_connections.find(&peripheral);
    return found == m_connections.end() ? nullptr : found->second;
}

void QtBleCentral::connectionUp(QtBleConnection& connection)
{
    deliver([this, peripheral = connection.peripheral()] { m_delegate.centralManagerDidConnectPeripheral(peripheral); });
}

void QtBleCentral::endLink(QtBleConnection& connection, bool asDisconnection, const std::string& error)
{
    const std::shared_ptr<QtBlePeripheral> peripheral = connection.peripheral();
    m_connections.erase(peripheral.get());
    peripheral->setState(PeripheralState::disconnected);
    peripheral->setServices({});
    // Later: this may run inside one of the link's own signals.
    connection.deleteLater();
    if (asDisconnection)
        deliver([this, peripheral, error] { m_delegate.centralManagerDidDisconnectPeripheral(peripheral, error); });
    else
        deliver([this, peripheral, error = error.empty() ? std::string("The connection failed") : error] {
            m_delegate.centralManagerDidFailToConnectPeripheral(peripheral, error);
        });
}

} // namespace velorin
