#pragma once

#include "platform/Log.h"
#include "platform/Queue.h"
#include "sensor/BleCentral.h"
#include "sensor/qt/QtBlePeripheral.h"

#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothDeviceInfo>
#include <QBluetoothLocalDevice>
#include <QPointer>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>
#include <string>

class QDBusServiceWatcher;

namespace velorin {

class QtBleConnection;

// The central over QtBluetooth: LE discovery, one QLowEnergyController per connection, and the
// radio's state from QBluetoothLocalDevice and the Bluetooth service on the system bus.
//
// The Qt objects live on the thread of the QCoreApplication; operations from other threads hop
// there, and every delegate callback is posted to the Bluetooth queue, where it runs under the
// callback gate. Without an application, an adapter or the Bluetooth service the state is
// unsupported (powered off when the adapter or the service goes away during the run) and
// operations do nothing.
class QtBleCentral : public BleCentral, public std::enable_shared_from_this<QtBleCentral> {
public:
    static constexpr std::chrono::milliseconds scanRetryDelay{2000};
    static constexpr std::chrono::milliseconds adapterCheckInterval{5000};
    // The first callback, the state, comes after the calling task has finished.
    static std::shared_ptr<QtBleCentral> create(CentralDelegate& delegate, Queue& bluetoothQueue, Log& log);
    ~QtBleCentral() override;
    QtBleCentral(const QtBleCentral&) = delete;
    QtBleCentral& operator=(const QtBleCentral&) = delete;

    CentralState state() const override { return m_state.load(); }
    void scanForPeripherals() override;
    void stopScan() override;
    void connectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral) override;
    void cancelPeripheralConnection(const std::shared_ptr<BlePeripheral>& peripheral) override;
    // Ends every callback, link and Qt object; afterwards every operation does nothing.
    void close();

    // For the peripherals and connections.
    bool isClosed() const { return m_closed.load(); }
    void onQtThread(std::function<void(QtBleCentral&)> task);
    void deliver(std::function<void()> task);
    Log& log() { return m_log; }
    // Qt thread.
    QtBleConnection* connectionOf(const QtBlePeripheral& peripheral) const;
    void connectionUp(QtBleConnection& connection);
    void connectionEnded(QtBleConnection& connection, bool wasUp, const std::string& error)
    {
        endLink(connection, wasUp, error);
    }

private:
    struct Known {
        std::shared_ptr<QtBlePeripheral> peripheral;
        std::uint64_t seen = 0; // when last seen, counted in reports
    };

    QtBleCentral(CentralDelegate& delegate, Queue& bluetoothQueue, Log& log);
    void setUp();
    CentralState readState();
    void refreshState(bool report);
    void scan();
    void deviceSeen(const QBluetoothDeviceInfo& device);
    void forgetLeastRecentlySeen();
    void discoveryFailed();
    void retryScan();
    void checkAdapter();
    void linkedDevicesAnswered(const std::set<std::string>& addresses);
    // Forgets the link and reports its end: a disconnection, or a failed connection if it never came up.
    void endLink(QtBleConnection& connection, bool asDisconnection, const std::string& error);
    void radioChanged() { refreshState(false); }
    void serviceStarted();
    void serviceStopped();
    // Repeats of the latest line are left out, so that a failure met at every scan is told once.
    void logOnce(const std::string& line);
    template <typename... Args>
    auto guarded(void (QtBleCentral::*method)(Args...));

    CentralDelegate& m_delegate;
    Queue& m_queue;
    Log& m_log;
    const std::shared_ptr<BleCallbackGate> m_gate = std::make_shared<BleCallbackGate>();
    std::atomic<CentralState> m_state{CentralState::unknown};
    std::atomic<bool> m_closed{false};
    std::mutex m_hopMutex;
    QObject* m_context = nullptr; // on the Qt thread; parent of every Qt object below

    // Qt thread.
    QPointer<QBluetoothLocalDevice> m_local;
    QPointer<QBluetoothDeviceDiscoveryAgent> m_agent;
    QDBusServiceWatcher* m_serviceWatcher = nullptr;
    bool m_hadAdapter = false;
    bool m_serviceGone = false;
    bool m_scanning = false;
    bool m_retryPending = false;
    bool m_adapterCheckPending = false;
    std::string m_lastLogged;
    std::set<std::string> m_reported;
    std::set<std::string> m_linked; // addresses BlueZ held a link to when the scan began
    std::map<std::string, Known> m_known;
    std::uint64_t m_seenCount = 0;
    std::map<const QtBlePeripheral*, QtBleConnection*> m_connections;
};

} // namespace velorin
