#include "monitor/BatteryDisplay.h"

#include "monitor/MonitorView.h"
#include "platform/Alerts.h"
#include "platform/Log.h"

#include <string>
#include <utility>

namespace velorin {

BatteryDisplay::BatteryDisplay(MonitorView& view, Alerts& alerts, Timers& timers, Log& log,
                               std::function<void()> readLevel)
    : m_view(view), m_alerts(alerts), m_timers(timers), m_log(log),
      m_readLevel(std::move(readLevel))
{
}

BatteryDisplay::~BatteryDisplay()
{
    m_timers.cancel(m_timer);
}

void BatteryDisplay::start()
{
    m_timer = m_timers.repeating(period, [this] { readBatteryLevel(); });
}

void BatteryDisplay::displayBattery(std::uint8_t rawByte)
{
    // Only 0..100 is a charge; anything above (which a signed reading would show as negative) is noise.
    if (rawByte > 100) {
        m_log.line("Ignored battery value " + std::to_string(rawByte) + ": not a charge in percent");
        return;
    }
    const int level = rawByte;
    m_view.setText(Outlet::batteryLevels, std::to_string(level) + "%");
    m_view.setProgress(Outlet::batteryProgress, static_cast<float>(level / 100.0));
    if (level < 1)
        return;
    if (level <= 19 && !m_batteryLowShown) {
        m_view.setTint(Outlet::batteryProgress, Tint::red);
        m_batteryLowShown = true;
        m_alerts.show({"Sensor battery low", "Please charge your Nimbo!", "OK", {}, false}, {});
    } else if (level <= 10 && !m_batteryVeryLowShown) {
        m_batteryVeryLowShown = true;
        m_view.setTint(Outlet::batteryProgress, Tint::red);
        m_batteryLowShown = true;
        m_alerts.show({"Sensor battery very low", "Please charge your Nimbo to avoid damages!", "OK", {}, false}, {});
    }
}

} // namespace velorin
