#include "monitor/ViewController.h"

#include "app/SleepPreventer.h"
#include "monitor/MonitorSession.h"
#include "monitor/MonitorView.h"
#include "net/Location.h"
#include "platform/Alerts.h"
#include "platform/Clock.h"
#include "platform/Queue.h"
#include "sensor/SensorLink.h"
#include "sensor/SensorProfile.h"

#include <utility>

namespace velorin {

namespace {

// Longer than this without an ECG packet, the trace says there is no signal.
constexpr Nanoseconds signalTimeout = std::chrono::seconds(1);

// The version alert shown at load until the terms are accepted.
constexpr std::string_view versionMessage = "v 1.24     27.05.2017";
// Alerts are told apart by their message.
constexpr std::string_view sensorChoiceMessage = "Write pin for nimbo!";

} // namespace

ViewController::ViewController(MonitorContext context, MonitorSession& session)
    : m_ctx(std::move(context)), m_session(session),
      m_battery(m_ctx.view, m_ctx.alerts, m_ctx.timers, m_ctx.log,
                [this] { m_session.readBatteryLevel(); }),
      m_lock(m_ctx.settings, m_ctx.view, [this](const AlertRequest& request) { showAnsweredAlert(request); }),
      m_marking(
          session.events(), m_ctx.view, m_ctx.timers,
          [this](const AlertRequest& request) { showAnsweredAlert(request); },
          [this](const std::string& activity) { m_session.sendMarkedEvent(activity); }),
      m_status(m_ctx.mainQueue, m_ctx.view, m_ctx.alerts, m_ctx.timers, session, m_lock)
{
    m_session.attachScreen(*this, *this);
}

ViewController::~ViewController()
{
    m_ctx.timers.cancel(m_bpmTimer);
}

bool ViewController::isRecording() const
{
    return m_session.isRecording();
}

void ViewController::viewDidLoad()
{
    MonitorView& view = m_ctx.view;
    m_marking.clearChoices();
    view.setScale(Outlet::batteryProgress, 1.0f, 5.0f);
    stillTrace();
    m_session.closeStream();
    m_session.newHeartRateFile();
    if (m_aboutPending == 1)
        showAnsweredAlert({"Velorin", std::string(versionMessage), "Continue", {}, false});
    if (m_lock.locked())
        view.setShown(Outlet::unlockButton, true);
    view.setBorder(Outlet::markEventButton, 1.0f, {0.0f, 122.0f / 255.0f, 1.0f, 1.0f});
    m_session.readSettings();
    if (m_ctx.keepAwake) {
        m_sleepPreventer = std::make_unique<SleepPreventer>(*m_ctx.keepAwake, m_ctx.timers, m_ctx.log);
        m_sleepPreventer->startPreventSleep();
    }
    m_session.startSensor();
    locationInit();
    m_battery.start();
    m_loadedAt = m_ctx.clock.monotonic();
    m_bpmTimer = m_ctx.timers.repeating(HeartRateDetector::period, [this] {
        // Without a signal the sample ring holds only the past: no reading is made from it.
        if (!checkSignal())
            m_session.heartRate().calculateBPM();
    });
    // The zoom images answer a single click.
    view.setEnabled(Outlet::zoomIn, true);
    view.setEnabled(Outlet::zoomOut, true);
}

void ViewController::locationInit()
{
    if (m_ctx.network)
        m_ctx.network->location.startUpdatingLocation();
}

void ViewController::viewDidLayoutSubviews()
{
    MonitorView& view = m_ctx.view;
    const bool recording = isRecording();
    switch (view.orientation()) {
    case DeviceOrientation::portrait:
    case DeviceOrientation::portraitUpsideDown:
        view.setShown(recording ? Outlet::StopButton : Outlet::startButton, true);
        view.setShown(Outlet::stopLandscape, false);
        view.setShown(Outlet::startLandscape, false);
        break;
    case DeviceOrientation::landscapeLeft:
    case DeviceOrientation::landscapeRight:
        view.setShown(recording ? Outlet::stopLandscape : Outlet::startLandscape, true);
        view.setShown(Outlet::startButton, false);
        view.setShown(Outlet::StopButton, false);
        break;
    case DeviceOrientation::faceUp:
    case DeviceOrientation::faceDown:
    case DeviceOrientation::unknown:
        break;
    }
}

void ViewController::currentTabIndex()
{
    m_ctx.view.selectMonitorTab();
}

void ViewController::backToLogin()
{
    m_ctx.mainQueue.async([this] { m_ctx.view.presentLogin(); });
}

void ViewController::passwordSet()
{
    stillTrace();
    m_lock.passwordSet();
}

void ViewController::unlockAnswered(const std::string& fieldText)
{
    // Unlocked while recording, the patient can mark a symptom again at once.
    if (m_lock.unlockAnswered(fieldText) && isRecording())
        showLiveTrace();
}

void ViewController::attachTracePainter(TracePainter* painter)
{
    m_session.ecgView().setPainter(painter, [this] { return m_amplitude.frameWindow(); });
}

void ViewController::startClick()
{
    MonitorView& view = m_ctx.view;
    for (Outlet o : {Outlet::zoomOut, Outlet::zoomIn, Outlet::ampUp, Outlet::ampDown})
        view.setShown(o, true);
    const bool wasRecording = m_session.startRecording();
    if (m_sleepPreventer)
        m_sleepPreventer->setRecording(true);
    swapStartAndStop(true);
    // Packets buffered before Start are dropped from the stream; a Start while recording drops nothing.
    if (!wasRecording)
        m_session.dropUncountedPackets();
    if (m_lock.locked()) {
        // Recording is on, but the trace stays still until the screen is unlocked.
        view.setShown(Outlet::unlockButton, true);
        return;
    }
    showLiveTrace();
    view.setShown(Outlet::unlockButton, false);
}

void ViewController::stopClick()
{
    m_session.stopRecording();
    if (m_sleepPreventer)
        m_sleepPreventer->setRecording(false);
    showStopped();
    // Stop neither flushes nor clears the buffers.
    m_session.closeStream();
}

void ViewController::showStopped()
{
    MonitorView& view = m_ctx.view;
    for (Outlet o : {Outlet::zoomOut, Outlet::zoomIn, Outlet::ampUp, Outlet::ampDown})
        view.setShown(o, false);
    swapStartAndStop(false);
    stillTrace();
}

void ViewController::swapStartAndStop(bool recording)
{
    // Only the buttons of the current orientation change.
    MonitorView& view = m_ctx.view;
    const bool landscape = isLandscape(view.orientation());
    view.setShown(landscape ? Outlet::stopLandscape : Outlet::StopButton, recording);
    view.setShown(landscape ? Outlet::startLandscape : Outlet::startButton, !recording);
}

void ViewController::stillTrace()
{
    MonitorView& view = m_ctx.view;
    view.setShown(Outlet::markEventButton, false);
    m_session.ecgView().stopAnimation();
    view.setShown(Outlet::bpmLabel, false);
    view.setShown(Outlet::bpm2Label, false);
}

void ViewController::showLiveTrace()
{
    MonitorView& view = m_ctx.view;
    m_session.ecgView().startAnimation();
    view.setShown(Outlet::markEventButton, true);
    view.setShown(Outlet::bpm2Label, true);
    view.setShown(Outlet::bpmLabel, true);
}

bool ViewController::checkSignal()
{
    const std::optional<Nanoseconds> last = m_session.lastEcgPacketAt();
    const bool silent = m_ctx.clock.monotonic() - last.value_or(m_loadedAt) > signalTimeout;
    if (silent == m_noSignalShown)
        return silent;
    m_noSignalShown = silent;
    m_ctx.view.setShown(Outlet::noSignal, silent);
    // The last reading is not the heart rate now.
    if (silent && last)
        m_ctx.view.setText(Outlet::bpmLabel, "N/A");
    return silent;
}

void ViewController::showDropDownList()
{
    // A replay has no sensors to choose from.
    if (SensorLink* link = m_session.link())
        showAnsweredAlert({"Choose pin", std::string(sensorChoiceMessage), "Cancel", link->choiceLabels(), true});
}

void ViewController::showAnsweredAlert(const AlertRequest& request)
{
    m_ctx.alerts.show(request, [this, message = request.message](int buttonIndex, const std::string& fieldText) {
        alertViewClickedButtonAtIndex(message, buttonIndex, fieldText);
    });
}

void ViewController::alertViewClickedButtonAtIndex(const std::string& message, int buttonIndex,
                                                   const std::string& fieldText)
{
    // Cancel (or a dialog closed without a button) does nothing, whichever alert it closes.
    if (buttonIndex <= 0)
        return;
    if (message == ScreenLock::unlockMessage) {
        if (buttonIndex == 1)
            unlockAnswered(fieldText);
    } else if (message == EventMarking::activityMessage) {
        activityChosen(buttonIndex);
    } else if (message == EventMarking::feelingMessage) {
        feelingChosen(buttonIndex);
    } else if (message == sensorChoiceMessage) {
        SensorLink* link = m_session.link();
        if (link && !link->sensorChoice(buttonIndex, fieldText))
            m_ctx.alerts.show({"Pin too long",
                               "The sensor takes a pin of at most " + std::to_string(profile::maxPinBytes) +
                                   " bytes. Nothing was changed; please choose again.",
                               "OK", {}, false},
                              {});
    }
}

void ViewController::disconnectClick()
{
    m_status.forgetReconnectNotice(); // let go by the user: nothing comes back by itself
    if (isRecording()) {
        // Letting the sensor go ends the recording as Stop does, with what was gathered written first
        // into the stream it belongs to.
        m_session.flushGatheredLater();
        m_session.closeStream();
        m_session.stopRecording();
        if (m_sleepPreventer)
            m_sleepPreventer->setRecording(false);
        showStopped();
    }
    if (SensorLink* link = m_session.link())
        link->disconnectClick();
    else
        m_ctx.view.setEnabled(Outlet::disconnect, false);
}

void ViewController::showSensorDisconnected(bool byUser)
{
    // Whatever the link's end, what was gathered up to it goes to the files now. A broken link does
    // not end the recording: packets count again as soon as the sensor is back, in the same stream.
    if (!byUser)
        m_session.flushGathered(false);
    m_ctx.mainQueue.async([this, byUser] {
        if (m_sleepPreventer)
            m_sleepPreventer->setSensorConnected(false);
        m_status.sensorDisconnected(byUser);
    });
}

void ViewController::sensorChanged()
{
    m_session.forgetGathered();
    m_ctx.mainQueue.async([this] { m_status.forgetReconnectNotice(); });
}

void ViewController::signalResumed()
{
    // Bluetooth queue, before the packet is decoded.
    m_session.breakTrace();
}

void ViewController::showSensorConnected()
{
    m_ctx.mainQueue.async([this] {
        if (m_sleepPreventer)
            m_sleepPreventer->setSensorConnected(true);
    });
}

void ViewController::showBatteryLevel(std::uint8_t rawByte)
{
    m_ctx.mainQueue.async([this, rawByte] { m_battery.displayBattery(rawByte); });
}

} // namespace velorin
