#include "monitor/SensorStatus.h"

#include "monitor/MonitorSession.h"
#include "monitor/MonitorView.h"
#include "monitor/ScreenLock.h"
#include "platform/Alerts.h"
#include "platform/Queue.h"

#include <utility>

namespace velorin {

namespace {

constexpr Nanoseconds resetImagePeriod = std::chrono::seconds(2);

} // namespace

SensorStatus::SensorStatus(Queue& mainQueue, MonitorView& view, Alerts& alerts, Timers& timers, MonitorSession& session,
                           const ScreenLock& lock)
    : m_mainQueue(mainQueue), m_view(view), m_alerts(alerts), m_timers(timers), m_session(session), m_lock(lock)
{
}

SensorStatus::~SensorStatus()
{
    m_timers.cancel(m_resetImageTimer);
}

void SensorStatus::showConnectedNotice()
{
    m_mainQueue.async([this] { m_view.makeToast("Connected to sensor"); });
}

void SensorStatus::refreshSensorStatus()
{
    // The flag is set by the posted work, so several packets may post before the first runs; each
    // does the same.
    m_mainQueue.async([this] {
        m_view.setEnabled(Outlet::startButton, true);
        // A recording that went on through a drop shows only Stop: a Start beside it would look as
        // if nothing recorded.
        const bool recording = m_session.isRecording();
        m_view.setShown(Outlet::startButton, !recording);
        if (recording)
            m_view.setShown(Outlet::StopButton, true);
        m_view.setShown(Outlet::batteryProgress, true);
        m_view.setShown(Outlet::batteryLevels, true);
        m_session.setSensorStatusShown(true);
        setSensorImage("Ok");
        if (std::exchange(m_reconnectNoticeOwed, false))
            m_view.makeToast("Sensor reconnected.");
        // The radio stopped the trace; a recording shows it moving again unless the screen is locked.
        if (std::exchange(m_stilledByRadio, false) && m_session.isRecording() && !m_lock.locked())
            m_session.ecgView().startAnimation();
    });
}

void SensorStatus::showRadioUnavailable()
{
    m_mainQueue.async([this] { setSensorImage("Cancel"); });
}

void SensorStatus::showRadioOff()
{
    m_mainQueue.async([this] {
        m_session.ecgView().setShouldStop(1);
        m_stilledByRadio = true;
        m_mainQueue.async([this] { hideControlsForRadioOff(); });
    });
}

void SensorStatus::hideControlsForRadioOff()
{
    // Only the portrait controls: they come back with the first packet once the radio is on again.
    // A recording goes on through the power-off, so its Stop stays.
    m_view.setShown(Outlet::startButton, false);
    m_view.setShown(Outlet::batteryProgress, false);
    if (!m_session.isRecording())
        m_view.setShown(Outlet::StopButton, false);
    m_session.setSensorStatusShown(true);
    setSensorImage("Cancel");
    m_view.setShown(Outlet::batteryLevels, false);
    // One timer serves every power-off of the run.
    if (m_resetImageTimer == 0)
        m_resetImageTimer = m_timers.repeating(resetImagePeriod, [this] { resetImageChanged(); });
    m_alerts.show({"Bluetooth turned off", "Please turn on Bluetooth in Settings", "OK", {}, false}, {});
}

void SensorStatus::resetImageChanged()
{
    m_session.setSensorStatusShown(false);
}

void SensorStatus::showSensorTakenUp(const std::string& name)
{
    m_mainQueue.async([this, name] {
        m_view.setText(Outlet::sensorName, name);
        m_view.setEnabled(Outlet::disconnect, true);
    });
}

void SensorStatus::sensorDisconnected(bool byUser)
{
    setSensorImage("Cancel");
    // The first packet after the reconnection brings back "Ok".
    m_session.setSensorStatusShown(false);
    m_reconnectNoticeOwed = !byUser;
    m_view.makeToast("Sensor disconnected.");
}

void SensorStatus::disableDisconnect()
{
    m_mainQueue.async([this] { m_view.setEnabled(Outlet::disconnect, false); });
}

void SensorStatus::showOutOfRange()
{
    m_mainQueue.async([this] {
        m_alerts.show({"Bluetooth getting out of range", "Sensor disconnected. Please connect again.", "OK", {}, false},
                      {});
    });
}

void SensorStatus::setSensorImage(const std::string& name)
{
    m_sensorImageOk.store(name == "Ok");
    m_view.setImage(Outlet::sensorImage, name);
}

} // namespace velorin
