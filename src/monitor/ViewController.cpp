#include "monitor/ViewController.h"
#include "sensor/RememberedSensor.h"

#include "app/SleepPreventer.h"
#include "net/EventSubmitter.h"
#include "net/Location.h"
#include "net/RecordingUploader.h"
#include "net/RequestQueue.h"
#include "net/UploadStatus.h"
#include "platform/Alerts.h"
#include "platform/ApplicationState.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Queue.h"
#include "platform/Timers.h"
#include "sensor/SensorLink.h"
#include "sensor/SensorProfile.h"
#include "sensor/SensorSource.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <mutex>
#include <utility>

namespace velorin {

namespace {

constexpr Nanoseconds batteryPeriod = std::chrono::seconds(5);
constexpr Nanoseconds resetImagePeriod = std::chrono::seconds(2);
// Longer than this without an ECG packet, the trace says there is no signal.
constexpr Nanoseconds signalTimeout = std::chrono::seconds(1);

// The version alert shown at load until the terms are accepted.
constexpr std::string_view versionMessage = "v 1.24     27.05.2017";
// Alerts are told apart by their message.
constexpr std::string_view unlockMessage = "Write your passcode!";
constexpr std::string_view activityMessage = "Choose activity";
constexpr std::string_view feelingMessage = "Choose feeling";
constexpr std::string_view sensorChoiceMessage = "Write pin for nimbo!";
// How long Stop stays locked after an event, so the closing chunk of its file gets recorded.
constexpr Nanoseconds stopLockAfterEvent = std::chrono::seconds(45);

// The feelings offered after an activity, in button order after Cancel.
const std::vector<std::string> feelingTitles = {"diziness", "discomfort", "palpitations", "none"};

} // namespace

ViewController::ViewController(MonitorContext context)
    : m_ctx(std::move(context)), m_ecgView(m_ctx.appState), m_feed(m_ecgView),
      m_decoder(m_ring, m_feed, m_acq.uploadBuffer),
      m_files(m_ctx.files, m_ctx.log,
              [this](const std::string& notice) {
                  m_ctx.mainQueue.async([this, notice] { m_ctx.view.makeToast(notice); });
              }),
      m_writer(m_acq, m_events, m_files, m_ctx.clock, m_ctx.log, m_ctx.documentsDirectory),
      m_intake(m_acq, m_decoder, m_writer, m_ctx.appState, *this, m_ctx.clock, m_ctx.log),
      m_bpmFile(m_files, m_ctx.clock, m_ctx.documentsDirectory),
      m_heartRate(m_ring, m_ecgView.ekgMap(),
                  [this](const std::string& text) { m_ctx.view.setText(Outlet::bpmLabel, text); },
                  [this](std::int32_t reading) { m_bpmFile.append(reading); }),
      m_sensor(m_ctx.sensor)
{
    if (m_ctx.centralFactory) {
        m_link = std::make_unique<SensorLink>(*m_ctx.centralFactory, m_ctx.bluetoothQueue, m_ctx.timers, m_ctx.log,
                                              m_ctx.settings, m_acq, static_cast<LinkOutlets&>(*this));
        m_sensor = m_link.get();
    }
    if (m_ctx.network) {
        MonitorNetwork& net = *m_ctx.network;
        m_requests = std::make_unique<RequestQueue>(m_ctx.bluetoothQueue, net.http, m_ctx.clock);
        m_uploader = std::make_unique<RecordingUploader>(
            RecordingUploader::Ports{*m_requests, net.reachability, net.location, m_ctx.files, m_ctx.settings,
                                     m_ctx.log},
            m_acq, m_ctx.documentsDirectory, net.collectionUrl,
            std::make_shared<UploadStatus>(m_ctx.clock, [this](const std::string& text, bool delivered) {
                m_ctx.mainQueue.async([this, text, delivered] {
                    m_ctx.view.setImage(Outlet::cloudImage, delivered ? "Ok" : "Cancel");
                    m_ctx.view.setText(Outlet::uploadStatus, text);
                });
            }));
        m_writer.setUploader(m_uploader.get());
    }
    m_submitter = std::make_unique<EventSubmitter>(m_acq, m_requests.get(), m_ctx.files, m_ctx.settings, m_ctx.clock,
                                                   m_ctx.log, m_ctx.documentsDirectory,
                                                   m_ctx.network ? m_ctx.network->collectionUrl : std::string());
    if (m_uploader)
        m_uploader->setEventSubmitter(m_submitter.get());
}

ViewController::~ViewController()
{
    // Answers still on their way find the requests closed.
    if (m_requests)
        m_requests->close();
    m_ctx.timers.cancel(m_batteryTimer);
    m_ctx.timers.cancel(m_bpmTimer);
    m_ctx.timers.cancel(m_resetImageTimer);
    for (const Timers::Id id : m_stopLockTimers)
        m_ctx.timers.cancel(id);
}

bool ViewController::locked() const
{
    const auto passcode = m_ctx.settings.textOrNumber(keys::lockPass);
    return passcode && !passcode->empty();
}

void ViewController::viewDidLoad()
{
    MonitorView& view = m_ctx.view;
    m_events.setActivity("");
    m_events.setFeeling("");
    view.setScale(Outlet::batteryProgress, 1.0f, 5.0f);
    stillTrace();
    closeStream();
    m_bpmFile.reset();
    if (m_aboutPending == 1)
        showAnsweredAlert({"Velorin", std::string(versionMessage), "Continue", {}, false});
    if (locked())
        view.setShown(Outlet::unlockButton, true);
    view.setBorder(Outlet::markEventButton, 1.0f, {0.0f, 122.0f / 255.0f, 1.0f, 1.0f});

    SettingsStore& settings = m_ctx.settings;
    if (auto id = settings.text(sensorKeys::selectedUUID))
        m_acq.chosenSensorId = *id;
    m_acq.fileServerList = settings.has(keys::fileServers) ? settings.textArray(keys::fileServers)
                                                           : std::vector<std::string>{};
    m_acq.eventServerAddress = settings.text(keys::markedServer).value_or("");
    if (auto pin = settings.text(sensorKeys::sensorPin))
        m_acq.sensorPin = *pin;

    if (m_ctx.keepAwake) {
        m_sleepPreventer = std::make_unique<SleepPreventer>(*m_ctx.keepAwake, m_ctx.timers, m_ctx.log);
        m_sleepPreventer->startPreventSleep();
    }
    if (m_sensor)
        m_sensor->start(m_intake);
    locationInit();
    m_batteryTimer = m_ctx.timers.repeating(batteryPeriod, [this] { readBatteryLevel(); });
    m_loadedAt = m_ctx.clock.monotonic();
    m_bpmTimer = m_ctx.timers.repeating(HeartRateDetector::period, [this] {
        // Without a signal the sample ring holds only the past: no reading is made from it.
        if (!checkSignal())
            m_heartRate.calculateBPM();
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
    const bool recording = m_acq.recordingActive.load() == 1;
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
    m_ctx.view.setShown(Outlet::unlockButton, true);
}

void ViewController::unlockClick()
{
    showAnsweredAlert({"Unlock visualisation", std::string(unlockMessage), "Cancel", {"OK"}, true, true});
}

void ViewController::unlockAnswered(const std::string& fieldText)
{
    const auto passcode = m_ctx.settings.textOrNumber(keys::lockPass);
    const bool lockOn = passcode && !passcode->empty();
    // With no passcode stored any more (an earlier answer already unlocked) nothing is left to
    // refuse, and the unlock button must not stay up for good.
    if (lockOn && fieldText != *passcode) {
        m_ctx.view.makeToast("Wrong password for unlock!");
        return;
    }
    // One passcode protects one locking.
    if (passcode)
        m_ctx.settings.remove(keys::lockPass);
    m_ctx.view.setShown(Outlet::unlockButton, false);
    // Unlocked while recording, the patient can mark a symptom again at once.
    if (m_acq.recordingActive.load() == 1) {
        m_ecgView.startAnimation();
        m_ctx.view.setShown(Outlet::markEventButton, true);
        m_ctx.view.setShown(Outlet::bpm2Label, true);
        m_ctx.view.setShown(Outlet::bpmLabel, true);
    }
}

void ViewController::zoom()
{
    m_amplitude.zoom();
}

void ViewController::unzoom()
{
    m_amplitude.unzoom();
}

void ViewController::amplitudeUp()
{
    m_amplitude.up();
}

void ViewController::amplitudeDown()
{
    m_amplitude.down();
}

void ViewController::attachTracePainter(TracePainter* painter)
{
    m_ecgView.setPainter(painter, [this] { return m_amplitude.frameWindow(); });
}

void ViewController::startClick()
{
    MonitorView& view = m_ctx.view;
    for (Outlet o : {Outlet::zoomOut, Outlet::zoomIn, Outlet::ampUp, Outlet::ampDown})
        view.setShown(o, true);
    const bool wasRecording = m_acq.recordingActive.exchange(1) == 1;
    m_acq.packetsSinceStart.store(0);
    if (m_sleepPreventer)
        m_sleepPreventer->setRecording(true);
    swapStartAndStop(true);
    // Packets buffered before Start are dropped from the stream; the sample text is kept, at most
    // one chunk of it. On the Bluetooth queue, behind any flush already asked for (the disconnect
    // button's), whose records are not to be dropped. A Start while recording drops nothing.
    if (!wasRecording)
        m_ctx.bluetoothQueue.async([this] {
            std::lock_guard lock(m_acq.bufferMutex);
            m_acq.uncountedText.trim(m_acq.sampleText);
            m_acq.uncountedText.forget();
            m_acq.recordBuffer.clear();
            m_acq.uncountedRecords.forget();
        });
    if (locked()) {
        // Recording is on, but the trace stays still until the screen is unlocked.
        view.setShown(Outlet::unlockButton, true);
        return;
    }
    m_ecgView.startAnimation();
    view.setShown(Outlet::markEventButton, true);
    view.setShown(Outlet::bpm2Label, true);
    view.setShown(Outlet::bpmLabel, true);
    view.setShown(Outlet::unlockButton, false);
}

void ViewController::stopClick()
{
    m_acq.packetsSinceStart.store(0);
    m_acq.recordingActive.store(0);
    if (m_sleepPreventer)
        m_sleepPreventer->setRecording(false);
    showStopped();
    // Stop neither flushes nor clears the buffers.
    closeStream();
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
    m_ecgView.stopAnimation();
    view.setShown(Outlet::bpmLabel, false);
    view.setShown(Outlet::bpm2Label, false);
}

void ViewController::closeStream()
{
    // Behind any flush already asked for, which still belongs to the stream being closed.
    m_ctx.bluetoothQueue.async([this] {
        std::lock_guard lock(m_acq.bufferMutex);
        m_acq.recordingPath.clear();
    });
}

void ViewController::markEvent()
{
    // Pending at once: even a cancelled choice leaves the signal around this moment to be kept.
    m_events.markPending();
    m_activityList = {"Laying", "Sitting", "Standing", "Resting", "Walking", "Active", "Other"};
    showAnsweredAlert({"Mark event", std::string(activityMessage), "Cancel", m_activityList, false});
}

void ViewController::activityChosen(int buttonIndex)
{
    if (buttonIndex < 1 || buttonIndex > static_cast<int>(m_activityList.size()))
        return;
    const std::string activity = m_activityList[static_cast<std::size_t>(buttonIndex - 1)];
    // Sent now, before the feeling is asked for; the annotation lands between two packet records.
    m_ctx.bluetoothQueue.async([this, activity] { m_submitter->sendMarkedEvent(activity); });
    m_events.setActivity(activity);
    showAnsweredAlert({"Mark event", std::string(feelingMessage), "Cancel", feelingTitles, false});
}

void ViewController::feelingChosen(int buttonIndex)
{
    if (buttonIndex < 1 || buttonIndex > static_cast<int>(feelingTitles.size()))
        return;
    m_ctx.view.makeToast("Marked event.");
    m_events.setFeeling(feelingTitles[static_cast<std::size_t>(buttonIndex - 1)]);
    m_ctx.view.setEnabled(Outlet::StopButton, false);
    m_ctx.view.setEnabled(Outlet::stopLandscape, false);
    // Each choice starts its own timer; the first to fire unlocks.
    m_stopLockTimers.push_back(m_ctx.timers.oneShot(stopLockAfterEvent, [this] { reEnableStopButton(); }));
}

void ViewController::reEnableStopButton()
{
    m_ctx.view.setEnabled(Outlet::StopButton, true);
    m_ctx.view.setEnabled(Outlet::stopLandscape, true);
}

void ViewController::stopSensor()
{
    if (m_sensor)
        m_sensor->stop();
}

void ViewController::flushOnQuit(std::function<void()> done)
{
    stopSensor();
    // Behind the sensor's stop on the Bluetooth queue: no packet arrives while the last chunk is written.
    m_ctx.bluetoothQueue.async([this, done = std::move(done)] {
        flushGathered(false);
        if (done)
            done();
    });
}

void ViewController::flushGathered(bool always)
{
    const bool counted = always || m_acq.countsTowardFlush(m_ctx.appState.isActive());
    bool gathered = false;
    {
        std::lock_guard lock(m_acq.bufferMutex);
        gathered = !m_acq.sampleText.empty();
    }
    if (counted && gathered) {
        m_writer.writeTickToFile();
        m_acq.flushCounter = 0;
    }
}

bool ViewController::checkSignal()
{
    const std::int64_t last = m_acq.lastEcgPacketAt.load(std::memory_order_relaxed);
    const Nanoseconds since = m_ctx.clock.monotonic() - (last == Acquisition::noPacketYet ? m_loadedAt : Nanoseconds(last));
    const bool silent = since > signalTimeout;
    if (silent == m_noSignalShown)
        return silent;
    m_noSignalShown = silent;
    m_ctx.view.setShown(Outlet::noSignal, silent);
    // The last reading is not the heart rate now.
    if (silent && last != Acquisition::noPacketYet)
        m_ctx.view.setText(Outlet::bpmLabel, "N/A");
    return silent;
}

void ViewController::keepUnansweredRequests()
{
    if (m_requests)
        m_requests->close();
}

std::size_t ViewController::unansweredRequests() const
{
    return m_requests ? static_cast<std::size_t>(m_requests->openCount()) + m_requests->waitingCount() : 0;
}

void ViewController::resetImageChanged()
{
    m_acq.sensorStatusShown.store(0);
}

void ViewController::readBatteryLevel()
{
    if (m_sensor)
        m_sensor->readBatteryLevel();
}

void ViewController::showDropDownList()
{
    // A replay has no sensors to choose from.
    if (!m_link)
        return;
    showAnsweredAlert({"Choose pin", std::string(sensorChoiceMessage), "Cancel", m_link->choiceLabels(), true});
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
    if (message == unlockMessage) {
        if (buttonIndex == 1)
            unlockAnswered(fieldText);
    } else if (message == activityMessage) {
        activityChosen(buttonIndex);
    } else if (message == feelingMessage) {
        feelingChosen(buttonIndex);
    } else if (message == sensorChoiceMessage) {
        if (m_link && !m_link->sensorChoice(buttonIndex, fieldText))
            m_ctx.alerts.show({"Pin too long",
                               "The sensor takes a pin of at most " + std::to_string(profile::maxPinBytes) +
                                   " bytes. Nothing was changed; please choose again.",
                               "OK", {}, false},
                              {});
    }
}

void ViewController::disconnectClick()
{
    m_reconnectNoticeOwed = false; // let go by the user: nothing comes back by itself
    if (m_acq.recordingActive.load() == 1) {
        // Letting the sensor go ends the recording as Stop does, with what was gathered written first
        // into the stream it belongs to.
        m_ctx.bluetoothQueue.async([this] { flushGathered(true); });
        closeStream();
        m_acq.packetsSinceStart.store(0);
        m_acq.recordingActive.store(0);
        if (m_sleepPreventer)
            m_sleepPreventer->setRecording(false);
        showStopped();
    }
    if (m_link)
        m_link->disconnectClick();
    else
        m_ctx.view.setEnabled(Outlet::disconnect, false);
}

void ViewController::showRadioUnavailable()
{
    m_ctx.mainQueue.async([this] { setSensorImage("Cancel"); });
}

void ViewController::showRadioOff()
{
    m_ctx.mainQueue.async([this] {
        m_ecgView.setShouldStop(1);
        m_stilledByRadio = true;
        m_ctx.mainQueue.async([this] { hideControlsForRadioOff(); });
    });
}

void ViewController::hideControlsForRadioOff()
{
    // Only the portrait controls: they come back with the first packet once the radio is on again.
    // A recording goes on through the power-off, so its Stop stays.
    MonitorView& view = m_ctx.view;
    view.setShown(Outlet::startButton, false);
    view.setShown(Outlet::batteryProgress, false);
    if (m_acq.recordingActive.load() != 1)
        view.setShown(Outlet::StopButton, false);
    m_acq.sensorStatusShown.store(1);
    setSensorImage("Cancel");
    view.setShown(Outlet::batteryLevels, false);
    // One timer serves every power-off of the run.
    if (m_resetImageTimer == 0)
        m_resetImageTimer = m_ctx.timers.repeating(resetImagePeriod, [this] { resetImageChanged(); });
    m_ctx.alerts.show({"Bluetooth turned off", "Please turn on Bluetooth in Settings", "OK", {}, false}, {});
}

void ViewController::showSensorTakenUp(const std::string& name)
{
    m_ctx.mainQueue.async([this, name] {
        m_ctx.view.setText(Outlet::sensorName, name);
        m_ctx.view.setEnabled(Outlet::disconnect, true);
    });
}

void ViewController::showSensorDisconnected(bool byUser)
{
    // Whatever the link's end, what was gathered up to it goes to the files now. A broken link does
    // not end the recording: packets count again as soon as the sensor is back, in the same stream.
    if (!byUser)
        flushGathered(false);
    m_ctx.mainQueue.async([this, byUser] {
        if (m_sleepPreventer)
            m_sleepPreventer->setSensorConnected(false);
        setSensorImage("Cancel");
        // The first packet after the reconnection brings back "Ok".
        m_acq.sensorStatusShown.store(0);
        m_reconnectNoticeOwed = !byUser;
        m_ctx.view.makeToast("Sensor disconnected.");
    });
}

void ViewController::sensorChanged()
{
    // Another sensor's packets never join the stream whose header names this one.
    flushGathered(false);
    std::lock_guard lock(m_acq.bufferMutex);
    if (!m_acq.sampleText.empty())
        m_ctx.log.line("Another sensor was chosen: the packets gathered from the last one while not recording are dropped");
    m_acq.sampleText.clear();
    m_acq.recordBuffer.clear();
    m_acq.uploadBuffer.clear();
    m_acq.uncountedText.forget();
    m_acq.uncountedRecords.forget();
    m_acq.uncountedUploads.forget();
    m_acq.flushCounter = 0;
    m_acq.recordingPath.clear();
    m_ctx.mainQueue.async([this] { m_reconnectNoticeOwed = false; });
}

void ViewController::signalResumed()
{
    // Bluetooth queue, before the packet is decoded: the trace leaves a gap rather than join the
    // last value before the silence to the first after it.
    m_feed.restartPairs();
    m_ecgView.breakTrace();
}

void ViewController::showSensorConnected()
{
    m_ctx.mainQueue.async([this] {
        if (m_sleepPreventer)
            m_sleepPreventer->setSensorConnected(true);
    });
}

void ViewController::disableDisconnect()
{
    m_ctx.mainQueue.async([this] { m_ctx.view.setEnabled(Outlet::disconnect, false); });
}

void ViewController::showOutOfRange()
{
    m_ctx.mainQueue.async([this] {
        m_ctx.alerts.show(
            {"Bluetooth getting out of range", "Sensor disconnected. Please connect again.", "OK", {}, false}, {});
    });
}

void ViewController::showConnectedNotice()
{
    m_ctx.mainQueue.async([this] { m_ctx.view.makeToast("Connected to sensor"); });
}

void ViewController::refreshSensorStatus()
{
    // The flag is set by the posted work, so several packets may post before the first runs; each
    // does the same.
    m_ctx.mainQueue.async([this] {
        MonitorView& view = m_ctx.view;
        view.setEnabled(Outlet::startButton, true);
        // A recording that went on through a drop shows only Stop: a Start beside it would look as
        // if nothing recorded.
        const bool recording = m_acq.recordingActive.load() == 1;
        view.setShown(Outlet::startButton, !recording);
        if (recording)
            view.setShown(Outlet::StopButton, true);
        view.setShown(Outlet::batteryProgress, true);
        view.setShown(Outlet::batteryLevels, true);
        m_acq.sensorStatusShown.store(1);
        setSensorImage("Ok");
        if (std::exchange(m_reconnectNoticeOwed, false))
            view.makeToast("Sensor reconnected.");
        // The radio stopped the trace; a recording shows it moving again unless the screen is locked.
        if (std::exchange(m_stilledByRadio, false) && m_acq.recordingActive.load() == 1 && !locked())
            m_ecgView.startAnimation();
    });
}

void ViewController::setSensorImage(const std::string& name)
{
    m_sensorImageOk.store(name == "Ok");
    m_ctx.view.setImage(Outlet::sensorImage, name);
}

void ViewController::showBatteryLevel(std::uint8_t rawByte)
{
    m_ctx.mainQueue.async([this, rawByte] { displayBattery(rawByte); });
}

void ViewController::displayBattery(std::uint8_t rawByte)
{
    // Only 0..100 is a charge; anything above (which a signed reading would show as negative) is noise.
    if (rawByte > 100) {
        m_ctx.log.line("Ignored battery value " + std::to_string(rawByte) + ": not a charge in percent");
        return;
    }
    const int level = rawByte;
    MonitorView& view = m_ctx.view;
    view.setText(Outlet::batteryLevels, std::to_string(level) + "%");
    view.setProgress(Outlet::batteryProgress, static_cast<float>(level / 100.0));
    if (level < 1)
        return;
    if (level <= 19 && m_acq.batteryLowShown.load() == 0) {
        view.setTint(Outlet::batteryProgress, Tint::red);
        m_acq.batteryLowShown.store(1);
        m_ctx.alerts.show({"Sensor battery low", "Please charge your Nimbo!", "OK", {}, false}, {});
    } else if (level <= 10 && m_acq.batteryVeryLowShown.load() == 0) {
        m_acq.batteryVeryLowShown.store(1);
        view.setTint(Outlet::batteryProgress, Tint::red);
        m_acq.batteryLowShown.store(1);
        m_ctx.alerts.show({"Sensor battery very low", "Please charge your Nimbo to avoid damages!", "OK", {}, false},
                          {});
    }
}

} // namespace velorin
