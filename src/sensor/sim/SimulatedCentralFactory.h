#pragma once

#include "platform/Log.h"
#include "platform/Timers.h"
#include "sensor/BleCentral.h"
#include "sensor/sim/SensorFaults.h"
#include "sensor/sim/SimulatedCentral.h"

#include <memory>
#include <mutex>

namespace velorin {

// Makes simulated centrals, each with its own sensors around it, and passes faults on to the latest
// one (faults while none is alive do nothing). The timers and the log outlive the centrals.
class SimulatedCentralFactory : public BleCentralFactory, public SensorFaults {
public:
    SimulatedCentralFactory(Timers& timers, Log& log, SimulatedNimboOptions options = {});

    std::unique_ptr<BleCentral> createCentral(CentralDelegate& delegate, Queue& bluetoothQueue,
                                              std::string_view restoreIdentifier) override;

    SensorFaults& faults() { return *this; }
    void dropLink(int sensor) override;
    void goOutOfRange(int sensor, Nanoseconds away) override;
    void setRadioPowered(bool on) override;
    void refuseNextConnection(int sensor) override;
    void sendShortPacket(int sensor) override;
    void setBatteryLevel(int sensor, int percent) override;
    void setSignalStrength(int sensor, int dBm) override;

private:
    std::shared_ptr<SimulatedCentral> current();
    template <typename... Args>
    void forward(void (SensorFaults::*fault)(Args...), Args... args)
    {
        if (auto central = current())
            ((*central).*fault)(args...);
    }

    Timers& m_timers;
    Log& m_log;
    SimulatedNimboOptions m_options;
    std::mutex m_mutex;
    std::weak_ptr<SimulatedCentral> m_current;
};

} // namespace velorin
