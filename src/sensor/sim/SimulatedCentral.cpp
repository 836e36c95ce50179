#include "sensor/sim/SimulatedCentral.h"

#include "sensor/SensorProfile.h"
#include "sensor/sim/SimulatedNimbo.h"

#include <algorithm>
#include <cstdio>

namespace velorin {

namespace {

// Fixed, so that a sensor chosen in one run is found again in the next.
std::string identifierFor(std::string_view prefix, int index)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.*s-%012X", static_cast<int>(prefix.size()), prefix.data(),
                  static_cast<unsigned>(index));
    return text;
}

// The sensor list shows an identifier's first 13 characters: the sensors differ there, in their
// eighth digit (0 for the first, as it always was, up to F for the sixteenth).
std::string sensorIdentifier(int index)
{
    std::string identifier = identifierFor("7A3F1C20-5B8D-4E61-9C0A", index);
    identifier[7] = "0123456789ABCDEF"[(index - 1) & 0xF];
    return identifier;
}

constexpr std::string_view decoyPrefix = "D3C0A5E1-2B7C-4F90-8E14";
constexpr int rssiStep = 4;

} // namespace

SimulatedCentral::SimulatedCentral(CentralDelegate& delegate, Queue& bluetoothQueue, Timers& timers, Log& log)
    : m_delegate(delegate), m_queue(bluetoothQueue), m_timers(timers), m_log(log)
{
}

SimulatedCentral::~SimulatedCentral() = default;

std::shared_ptr<SimulatedCentral> SimulatedCentral::create(CentralDelegate& delegate, Queue& bluetoothQueue,
                                                           Timers& timers, Log& log,
                                                           const SimulatedNimboOptions& options)
{
    std::shared_ptr<SimulatedCentral> central(new SimulatedCentral(delegate, bluetoothQueue, timers, log));
    std::lock_guard lock(central->m_mutex);
    central->addNimbos(options);
    // Through a timer, whose action runs on the main queue after the task that creates the central:
    // by then its owner holds it and can ask for the state.
    central->after(Nanoseconds{0}, [c = central.get()] { c->m_delegate.centralManagerDidUpdateState(); });
    return central;
}

void SimulatedCentral::addNimbos(const SimulatedNimboOptions& options)
{
    const auto make = [&](std::string identifier, std::optional<std::string> name, int rssi, std::uint32_t seed) {
        return std::make_shared<SimulatedNimbo>(shared_from_this(), std::move(identifier), std::move(name), rssi,
                                                SyntheticPackets(options.bpm, options.startBattery, seed));
    };
    // The decoys are reported around the sensors, so a link has to pass over them either way.
    m_nimbos.push_back(make(identifierFor(decoyPrefix, 1), "nimbo", -70, options.seed + 101));
    const int sensors = std::clamp(options.sensors, 0, maximumSensors);
    for (int i = 0; i < sensors; ++i) {
        m_sensors.push_back(make(sensorIdentifier(i + 1), std::string(profile::localName),
                                 options.rssi - rssiStep * i, options.seed + static_cast<std::uint32_t>(i)));
        m_nimbos.push_back(m_sensors.back());
    }
    m_nimbos.push_back(make(identifierFor(decoyPrefix, 2), "Nimbo2", -75, options.seed + 102));
    m_nimbos.push_back(make(identifierFor(decoyPrefix, 3), std::nullopt, -82, options.seed + 103));
}

void SimulatedCentral::close()
{
    std::lock_guard lock(m_mutex);
    if (m_closed)
        return;
    m_closed = true;
    m_scanning = false;
    for (const auto& [key, entry] : m_scheduled)
        m_timers.cancel(entry.timer);
    m_scheduled.clear();
    for (const auto& nimbo : m_nimbos)
        nimbo->linkDown();
    // The sensors hold the central: letting go of them here frees both once nobody else holds a sensor.
    m_nimbos.clear();
    m_sensors.clear();
}

void SimulatedCentral::runLocked(const Task& task)
{
    std::lock_guard lock(m_mutex);
    if (!m_closed)
        task();
}

void SimulatedCentral::post(Task task)
{
    if (m_closed)
        return;
    m_queue.async([weak = weak_from_this(), task = std::move(task)] {
        if (auto self = weak.lock())
            self->runLocked(task);
    });
}

SimulatedCentral::TimerKey SimulatedCentral::after(Nanoseconds delay, Task task)
{
    return schedule(delay, std::move(task), false);
}

SimulatedCentral::TimerKey SimulatedCentral::every(Nanoseconds interval, Task task)
{
    return schedule(interval, std::move(task), true);
}

SimulatedCentral::TimerKey SimulatedCentral::schedule(Nanoseconds delay, Task task, bool repeats)
{
    if (m_closed)
        return 0;
    const TimerKey key = m_nextKey++;
    Scheduled& entry = m_scheduled[key];
    entry.task = std::move(task);
    entry.repeats = repeats;
    // Timers fire on the main queue; the task itself runs on the Bluetooth queue.
    Task action = [weak = weak_from_this(), key] {
        if (auto self = weak.lock())
            self->post([central = self.get(), key] { central->fire(key); });
    };
    entry.timer = repeats ? m_timers.repeating(delay, std::move(action), true) : m_timers.oneShot(delay, std::move(action));
    return key;
}

void SimulatedCentral::fire(TimerKey key)
{
    // A timer cancelled after its action was posted is gone from the table by now.
    auto found = m_scheduled.find(key);
    if (found == m_scheduled.end())
        return;
    if (!found->second.repeats) {
        Task task = std::move(found->second.task);
        m_scheduled.erase(found);
        task();
        return;
    }
    Task task = found->second.task; // the task may cancel its own timer
    task();
}

void SimulatedCentral::cancel(TimerKey key)
{
    auto found = m_scheduled.find(key);
    if (found == m_scheduled.end())
        return;
    m_timers.cancel(found->second.timer);
    m_scheduled.erase(found);
}

std::shared_ptr<SimulatedNimbo> SimulatedCentral::ours(const std::shared_ptr<BlePeripheral>& peripheral) const
{
    auto nimbo = std::dynamic_pointer_cast<SimulatedNimbo>(peripheral);
    return nimbo && nimbo->central() == this ? nimbo : nullptr;
}

bool SimulatedCentral::visible(SimulatedNimbo& nimbo) const
{
    return m_state == CentralState::poweredOn && !nimbo.conditions().away &&
           nimbo.linkState() == PeripheralState::disconnected;
}

CentralDelegate* SimulatedCentral::delegate()
{
    return m_closed ? nullptr : &m_delegate;
}

void SimulatedCentral::scanForPeripherals()
{
    post([this] {
        if (m_state != CentralState::poweredOn)
            return;
        m_scanning = true;
        ++m_scan;
        m_reported.clear();
        scheduleSweep();
    });
}

void SimulatedCentral::stopScan()
{
    post([this] { m_scanning = false; });
}

void SimulatedCentral::scheduleSweep()
{
    if (m_scanning)
        after(advertisingDelay, [this, scan = m_scan] { sweep(scan); });
}

void SimulatedCentral::sweep(std::uint64_t scan)
{
    if (!m_scanning || scan != m_scan)
        return;
    const auto nimbos = m_nimbos; // a delegate may close the central while we report
    for (const auto& nimbo : nimbos) {
        if (!visible(*nimbo) || !m_reported.insert(nimbo->identifier()).second)
            continue;
        if (auto* d = delegate())
            d->centralManagerDidDiscoverPeripheral(nimbo, AdvertisementData{nimbo->localName()},
                                                   nimbo->conditions().rssi);
    }
}

void SimulatedCentral::connectPeripheral(const std::shared_ptr<BlePeripheral>& peripheral)
{
    post([this, peripheral] {
        auto nimbo = ours(peripheral);
        if (!nimbo || m_state != CentralState::poweredOn || nimbo->linkState() != PeripheralState::disconnected)
            return;
        nimbo->beginConnecting();
        connectWhenInRange(nimbo);
    });
}

void SimulatedCentral::connectWhenInRange(const std::shared_ptr<SimulatedNimbo>& nimbo)
{
    // An attempt waits for a sensor that is away, as a pending connection does, until it is back.
    if (!nimbo->conditions().away)
        after(connectionDelay, [this, nimbo, attempt = nimbo->link()] { finishConnecting(nimbo, attempt); });
}

void SimulatedCentral::finishConnecting(const std::shared_ptr<SimulatedNimbo>& nimbo, std::uint64_t attempt)
{
    if (nimbo->link() != attempt || nimbo->linkState() != PeripheralState::connecting || nimbo->conditions().away)
        return;
    if (nimbo->conditions().refuseNext) {
        nimbo->conditions().refuseNext = false;
        nimbo->linkDown();
        if (auto* d = delegate())
            d->centralManagerDidFailToConnectPeripheral(nimbo, "The sensor refused the connection");
        scheduleSweep();
        return;
    }
    nimbo->linkUp();
    if (auto* d = delegate())
        d->centralManagerDidConnectPeripheral(nimbo);
}

void SimulatedCentral::cancelPeripheralConnection(const std::shared_ptr<BlePeripheral>& peripheral)
{
    post([this, peripheral] {
        auto nimbo = ours(peripheral);
        if (nimbo && nimbo->linkState() != PeripheralState::disconnected)
            breakLink(nimbo, {});
    });
}

void SimulatedCentral::breakLink(const std::shared_ptr<SimulatedNimbo>& nimbo, const std::string& error)
{
    nimbo->linkDown();
    if (auto* d = delegate())
        d->centralManagerDidDisconnectPeripheral(nimbo, error);
    scheduleSweep(); // it advertises again
}

void SimulatedCentral::withSensor(int sensor, std::function<void(const std::shared_ptr<SimulatedNimbo>&)> fault)
{
    post([this, sensor, fault = std::move(fault)] {
        if (sensor >= 0 && static_cast<std::size_t>(sensor) < m_sensors.size())
            fault(m_sensors[static_cast<std::size_t>(sensor)]);
    });
}

void SimulatedCentral::dropLink(int sensor)
{
    withSensor(sensor, [this](const std::shared_ptr<SimulatedNimbo>& nimbo) {
        if (nimbo->linkState() == PeripheralState::connected)
            breakLink(nimbo, "The link to the sensor was lost");
    });
}

void SimulatedCentral::goOutOfRange(int sensor, Nanoseconds away)
{
    withSensor(sensor, [this, away](const std::shared_ptr<SimulatedNimbo>& nimbo) {
        auto& conditions = nimbo->conditions();
        conditions.away = true;
        cancel(conditions.returnTimer);
        conditions.returnTimer = after(away, [this, nimbo] { comeBack(nimbo); });
        if (nimbo->linkState() == PeripheralState::connected)
            breakLink(nimbo, "The sensor is out of range");
    });
}

void SimulatedCentral::comeBack(const std::shared_ptr<SimulatedNimbo>& nimbo)
{
    nimbo->conditions().away = false;
    nimbo->conditions().returnTimer = 0;
    if (nimbo->linkState() == PeripheralState::connecting)
        connectWhenInRange(nimbo);
    else
        scheduleSweep();
}

void SimulatedCentral::setRadioPowered(bool on)
{
    post([this, on] { changePower(on); });
}

void SimulatedCentral::changePower(bool on)
{
    const CentralState target = on ? CentralState::poweredOn : CentralState::poweredOff;
    if (m_state == target)
        return;
    m_state = target;
    if (!on)
        m_scanning = false;
    if (auto* d = delegate())
        d->centralManagerDidUpdateState();
    if (on)
        return;
    const auto nimbos = m_nimbos;
    for (const auto& nimbo : nimbos) {
        const PeripheralState was = nimbo->linkState();
        if (was == PeripheralState::disconnected)
            continue;
        nimbo->linkDown();
        auto* d = delegate();
        if (d && was == PeripheralState::connecting)
            d->centralManagerDidFailToConnectPeripheral(nimbo, "Bluetooth is powered off");
        else if (d)
            d->centralManagerDidDisconnectPeripheral(nimbo, "Bluetooth is powered off");
    }
}

void SimulatedCentral::refuseNextConnection(int sensor)
{
    withSensor(sensor, [](const std::shared_ptr<SimulatedNimbo>& nimbo) { nimbo->conditions().refuseNext = true; });
}

void SimulatedCentral::sendShortPacket(int sensor)
{
    withSensor(sensor, [](const std::shared_ptr<SimulatedNimbo>& nimbo) { nimbo->conditions().shortNext = true; });
}

void SimulatedCentral::setBatteryLevel(int sensor, int percent)
{
    withSensor(sensor,
               [percent](const std::shared_ptr<SimulatedNimbo>& nimbo) { nimbo->packets().setBatteryLevel(percent); });
}

void SimulatedCentral::setSignalStrength(int sensor, int dBm)
{
    withSensor(sensor, [dBm](const std::shared_ptr<SimulatedNimbo>& nimbo) { nimbo->conditions().rssi = dBm; });
}

} // namespace velorin
