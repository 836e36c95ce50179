#pragma once

#include "platform/Timers.h"

#include <cstdint>
#include <functional>

namespace velorin {

class Alerts;
class Log;
class MonitorView;

// The sensor's battery on the monitor screen: from load, the sensor is asked for its level every
// 5 s; each answer shows as a percentage and a bar, and a low charge is warned of once per run, a
// very low one once more. Main queue only, where its timer fires.
class BatteryDisplay {
public:
    static constexpr Nanoseconds period = std::chrono::seconds(5);

    // `readLevel` asks the sensor, whose answer comes back through displayBattery.
    BatteryDisplay(MonitorView& view, Alerts& alerts, Timers& timers, Log& log, std::function<void()> readLevel);
    ~BatteryDisplay();
    BatteryDisplay(const BatteryDisplay&) = delete;
    BatteryDisplay& operator=(const BatteryDisplay&) = delete;

    // The 5-second reads begin.
    void start();
    void readBatteryLevel() { m_readLevel(); }
    void displayBattery(std::uint8_t rawByte);

private:
    MonitorView& m_view;
    Alerts& m_alerts;
    Timers& m_timers;
    Log& m_log;
    // Each warning is shown once a run.
    bool m_batteryLowShown = false;
    bool m_batteryVeryLowShown = false;
    std::function<void()> m_readLevel;
    Timers::Id m_timer = 0;
};

} // namespace velorin
