#pragma once

#include "platform/Log.h"
#include "platform/Queue.h"
#include "platform/Timers.h"
#include "sensor/BleCentral.h"
#include "sensor/sim/SensorFaults.h"

#include <atomic>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <unordered_map>
#include <vector>

namespace velorin {

class SimulatedNimbo;

struct SimulatedNimboOptions {
    int sensors = 1;       // advertisers named "Nimbo", 0 to maximumSensors
    int bpm = 72;          // of the synthetic ECG
    int startBattery = 87; // percent
    std::uint32_t seed = 1;
    int rssi = -60;        // dBm of the first sensor; each further one is 4 dB weaker
};

// A central with simulated sensors around it: the Nimbos, plus three decoys that a sensor link must
// ignore (one advertising "nimbo", one "Nimbo2", one with no name). Every Nimbo streams synthetic ECG
// once its notifications are on and answers reads as the real sensor does.
//
// Everything happens on the Bluetooth queue: operations called from other threads hop there, and
// delays run on the Timers port (whose actions hop there too), so the central works alike in virtual
// time and on real threads. One lock guards the state; it is held while a delegate is called, so
// once close() has returned no callback is running or will run.
//
// Peripherals keep the central's state alive; close() breaks that tie, so a peripheral that outlives
// its central only answers nothing.
class SimulatedCentral : public BleCentral, public SensorFaults, public std::enable_shared_from_this<SimulatedCentral> {
public:
    static constexpr int maximumSensors = 16;
    static constexpr Nanoseconds advertisingDelay = std::chrono::milliseconds(250);
    static constexpr Nanoseconds connectionDelay = std::chrono::milliseconds(150);
    static constexpr Nanoseconds packetInterval = std::chrono::milliseconds(112);

    // The first callback, the powered-on state, arrives after the calling task has finished.
    static std::shared_ptr<SimulatedCentral> create(CentralDelegate& delegate, Queue& bluetoothQueue, Timers& timers,
                                                    Log& log, const SimulatedNimboOptions& options);
    ~SimulatedCentral() override;
    SimulatedCentral(const SimulatedCentral&) = delete;
    SimulatedCentral& operator=(const SimulatedCentral&) = delete;

    CentralState state() const override { return m_state.load(); }
    void scanForPeripherals() override;
    void stopScan() override;
    void connectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral) override;
    void cancelPeripheralConnection(const std::shared_ptr<BlePeripheral>& peripheral) override;
    // Ends every callback, timer and link; afterwards every operation does nothing.
    void close();

    void dropLink(int sensor) override;
    void goOutOfRange(int sensor, Nanoseconds away) override;
    void setRadioPowered(bool on) override;
    void refuseNextConnection(int sensor) override;
    void sendShortPacket(int sensor) override;
    void setBatteryLevel(int sensor, int percent) override;
    void setSignalStrength(int sensor, int dBm) override;

    // For the peripherals. post runs the task on the Bluetooth queue under the lock, unless closed.
    // The timer helpers are called there too; their tasks run the same way, and a task of a
    // cancelled timer never runs.
    using TimerKey = std::uint64_t;
    void post(Task task);
    TimerKey after(Nanoseconds delay, Task task);
    TimerKey every(Nanoseconds interval, Task task); // the first time at once
    void cancel(TimerKey key);
    std::recursive_mutex& mutex() const { return m_mutex; }
    Log& log() { return m_log; }

private:
    struct Scheduled {
        Timers::Id timer = 0;
        Task task;
        bool repeats = false;
    };

    SimulatedCentral(CentralDelegate& delegate, Queue& bluetoothQueue, Timers& timers, Log& log);
    void addNimbos(const SimulatedNimboOptions& options);
    void runLocked(const Task& task);
    TimerKey schedule(Nanoseconds delay, Task task, bool repeats);
    void fire(TimerKey key);
    // Posts the fault for one sensor; nothing when the index names none.
    void withSensor(int sensor, std::function<void(const std::shared_ptr<SimulatedNimbo>&)> fault);

    std::shared_ptr<SimulatedNimbo> ours(const std::shared_ptr<BlePeripheral>& peripheral) const;
    bool visible(SimulatedNimbo& nimbo) const;
    // Null once closed: no callback after close().
    CentralDelegate* delegate();
    void startScan();
    void scheduleSweep();
    void sweep(std::uint64_t scan);
    void connectWhenInRange(const std::shared_ptr<SimulatedNimbo>& nimbo);
    void finishConnecting(const std::shared_ptr<SimulatedNimbo>& nimbo, std::uint64_t attempt);
    void breakLink(const std::shared_ptr<SimulatedNimbo>& nimbo, const std::string& error);
    void comeBack(const std::shared_ptr<SimulatedNimbo>& nimbo);
    void changePower(bool on);

    CentralDelegate& m_delegate;
    Queue& m_queue;
    Timers& m_timers;
    Log& m_log;
    std::atomic<CentralState> m_state{CentralState::poweredOn};
    std::atomic<bool> m_closed{false};
    mutable std::recursive_mutex m_mutex;

    // Under the lock.
    std::vector<std::shared_ptr<SimulatedNimbo>> m_nimbos; // in the order scans report them
    std::vector<std::shared_ptr<SimulatedNimbo>> m_sensors;
    bool m_scanning = false;
    std::uint64_t m_scan = 0; // counts scans, so that a sweep of an earlier one does nothing
    std::set<std::string> m_reported;
    TimerKey m_nextKey = 1;
    std::unordered_map<TimerKey, Scheduled> m_scheduled;
};

} // namespace velorin
