#pragma once

#include "platform/Timers.h"

#include <atomic>
#include <string>

namespace velorin {

class Alerts;
class MonitorSession;
class MonitorView;
class Queue;
class ScreenLock;

// The sensor as the monitor screen shows it: the status icon ("Ok" once packets flow, "Cancel" while
// the radio or the link is gone), the controls that come with the first packets, the sensor's name
// and the disconnect button, the radio-off alert, and the notices of a drop and of the sensor's
// return. The operations named after the link's and intake's outlets are called on the Bluetooth
// queue and post their view work to the main queue; the others run on the main queue.
class SensorStatus {
public:
    SensorStatus(Queue& mainQueue, MonitorView& view, Alerts& alerts, Timers& timers, MonitorSession& session,
                 const ScreenLock& lock);
    ~SensorStatus();
    SensorStatus(const SensorStatus&) = delete;
    SensorStatus& operator=(const SensorStatus&) = delete;

    // Bluetooth queue.
    bool sensorImageIsOk() const { return m_sensorImageOk.load(); }
    void showConnectedNotice();
    void refreshSensorStatus();
    void showRadioUnavailable();
    void showRadioOff();
    void showSensorTakenUp(const std::string& name);
    void disableDisconnect();
    void showOutOfRange();

    // Main queue. The link dropped; byUser: the disconnect button let it go.
    void sensorDisconnected(bool byUser);
    // The user let the sensor go, or chose another: no "Sensor reconnected." is owed.
    void forgetReconnectNotice() { m_reconnectNoticeOwed = false; }
    // Every 2 s after a radio power-off: the next packet shows the status again.
    void resetImageChanged();

private:
    void hideControlsForRadioOff();
    void setSensorImage(const std::string& name);

    Queue& m_mainQueue;
    MonitorView& m_view;
    Alerts& m_alerts;
    Timers& m_timers;
    MonitorSession& m_session;
    const ScreenLock& m_lock;
    std::atomic<bool> m_sensorImageOk{false};
    Timers::Id m_resetImageTimer = 0; // started at the first radio power-off and kept
    // Main queue only.
    bool m_reconnectNoticeOwed = false; // the link broke; "Sensor reconnected." when packets flow
    bool m_stilledByRadio = false;      // the radio went off and stopped the trace
};

} // namespace velorin
