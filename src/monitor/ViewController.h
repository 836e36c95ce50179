#pragma once

#include "monitor/AmplitudeWindow.h"
#include "monitor/MonitorView.h"
#include "monitor/TraceView.h"
#include "recording/EventCapture.h"
#include "recording/HeartRateFile.h"
#include "recording/RecordingFiles.h"
#include "recording/RecordingWriter.h"
#include "sensor/LinkOutlets.h"
#include "signal/Acquisition.h"
#include "signal/HeartRateDetector.h"
#include "signal/PacketDecoder.h"
#include "signal/PacketIntake.h"
#include "signal/SampleRing.h"
#include "signal/TraceFeed.h"

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

class Alerts;
struct AlertRequest;
class ApplicationState;
class BleCentralFactory;
class Clock;
class EventSubmitter;
class Files;
class HttpClient;
class Location;
class Log;
class Queue;
class SensorLink;
class Reachability;
class RecordingUploader;
class RequestQueue;
class SensorSource;
class SettingsStore;
class SleepPreventer;
struct KeepAwakePorts;
class Timers;

// What the monitor needs to reach the servers.
struct MonitorNetwork {
    HttpClient& http;
    Reachability& reachability;
    Location& location;
    // Where uploads and events go while the login has named no server of its own.
    std::string collectionUrl;
};

// What the monitor screen needs of the world.
struct MonitorContext {
    Queue& mainQueue;
    Queue& bluetoothQueue;
    Timers& timers;
    const Clock& clock;
    Log& log;
    Alerts& alerts;
    Files& files;
    SettingsStore& settings;
    ApplicationState& appState;
    // A simulated sensor or a replay, feeding intake directly; unused when centralFactory is given.
    SensorSource* sensor;
    MonitorView& view;
    std::string documentsDirectory;
    // When given, the monitor runs its own link to a sensor over Bluetooth with a central made by it.
    BleCentralFactory* centralFactory = nullptr;
    // Without a network nothing is sent: chunks and events stay in the recording files.
    std::optional<MonitorNetwork> network{};
    // What keeps the computer awake while the monitor runs; without it the process may be put to sleep.
    KeepAwakePorts* keepAwake = nullptr;
};

// The monitor screen's controller: owns the acquisition state, the signal path (intake, decoder,
// trace feed, heart rate, recording writer) and the sensor link, and drives the screen through its view.
class ViewController : private IntakeOutlets, private LinkOutlets {
public:
    explicit ViewController(MonitorContext context);
    ~ViewController() override;
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    // Screen load: initial outlet state, settings into the acquisition state, the sensor and the timers.
    void viewDidLoad();
    // After every layout: only the Start/Stop pair of the window's orientation is shown.
    void viewDidLayoutSubviews();
    // No version alert at the next load (the terms were just accepted).
    void dontShow() { m_aboutPending = 0; }
    // Brings this screen's tab to the front (settings screens, when they close).
    void currentTabIndex();
    // The login screen over the tab bar, opened from the main queue.
    void backToLogin();

    // Lock (a passcode was just stored) and the unlock dialog. The lock holds while lockPass is a
    // non-empty text; the right passcode removes it.
    void passwordSet();
    void unlockClick();

    // The trace's vertical window, kept in the settings.
    void zoom();
    void unzoom();
    void amplitudeUp();
    void amplitudeDown();
    // Frames drawn by the painter use the window the amplitude controls keep.
    void attachTracePainter(TracePainter* painter);

    // Start and Stop buttons (main queue).
    void startClick();
    void stopClick();
    void resetImageChanged();
    void readBatteryLevel();
    // The sensor button: the list of sensors found, with a field for the pin.
    void showDropDownList();
    void disconnectClick();
    // The one answer handler of the screen's alerts, which it tells apart by their message.
    void alertViewClickedButtonAtIndex(const std::string& message, int buttonIndex, const std::string& fieldText);

    // Mark-event button (main queue): asks for an activity, then for a feeling.
    void markEvent();
    // The two answers (main queue); button 0 is Cancel, which leaves everything as it was.
    void activityChosen(int buttonIndex);
    void feelingChosen(int buttonIndex);
    // Timer action 45 s after a feeling was chosen.
    void reEnableStopButton();

    Acquisition& acquisition() { return m_acq; }
    TraceView& ecgView() { return m_ecgView; }
    RecordingWriter& writer() { return m_writer; }
    EventCapture& events() { return m_events; }
    HeartRateDetector& heartRate() { return m_heartRate; }
    // Null when the monitor was given a plain sensor source.
    SensorLink* link() { return m_link.get(); }
    // Ends the sensor's updates (the link drops the sensor); nothing reaches intake afterwards.
    void stopSensor();
    // The run ends: stops the sensor, then on the Bluetooth queue flushes what was gathered since the
    // last flush, when the flush rule counts packets now (recording on, or not in the foreground), so
    // the last part of a chunk is not lost. `done` runs on the Bluetooth queue afterwards.
    void flushOnQuit(std::function<void()> done = {});
    // Requests of uploads and events sent and not answered yet, or waiting for a free slot.
    std::size_t unansweredRequests() const;
    // The run ends without waiting for answers: what was not answered is kept in the Buffer
    // directories for the next run, and nothing more is sent. Any thread.
    void keepUnansweredRequests();
    // Main queue: the user pressed Start and no Stop or sensor drop has ended the recording since.
    bool isRecording() const { return m_acq.recordingActive.load() == 1; }
    // True once a recording file could not be saved in this run.
    bool recordingFailed() const { return m_files.anyFailed(); }

private:
    // Intake's screen effects, posted from the Bluetooth queue.
    void showConnectedNotice() override;
    bool sensorImageIsOk() const override { return m_sensorImageOk.load(); }
    void refreshSensorStatus() override;
    void showBatteryLevel(std::uint8_t rawByte) override;

    // The link's screen effects, posted from the Bluetooth queue.
    void showRadioUnavailable() override;
    void showRadioOff() override;
    void showSensorTakenUp(const std::string& name) override;
    void showSensorConnected() override;
    void showSensorDisconnected(bool byUser) override;
    void sensorChanged() override;
    void signalResumed() override;
    void disableDisconnect() override;
    void showOutOfRange() override;
    void hideControlsForRadioOff();

    // The screen as after Stop: recording controls hidden, Start in place of Stop, trace still.
    void showStopped();
    // An alert whose answer goes to alertViewClickedButtonAtIndex.
    void showAnsweredAlert(const AlertRequest& request);
    // Shows Stop and hides Start while recording, the other way round when not.
    void swapStartAndStop(bool recording);
    // Hides the event button and the heart rate and stops the trace.
    void stillTrace();
    // The next flush opens a new stream file with its own header.
    void closeStream();
    // Bluetooth queue: writes what was gathered since the last flush as a flush would, when the
    // flush rule counts packets now (recording on, or not in the foreground) or `always`.
    void flushGathered(bool always);
    // Main queue, every heart-rate tick: "No signal" over the trace while no ECG packet came for
    // more than a second. True while there is none.
    bool checkSignal();
    void displayBattery(std::uint8_t rawByte);
    void setSensorImage(const std::string& name);
    bool locked() const;
    void unlockAnswered(const std::string& fieldText);
    void locationInit();

    MonitorContext m_ctx;
    Acquisition m_acq;
    SampleRing m_ring;
    TraceView m_ecgView;
    TraceFeed m_feed;
    PacketDecoder m_decoder;
    EventCapture m_events;
    RecordingFiles m_files;
    RecordingWriter m_writer;
    PacketIntake m_intake;
    HeartRateFile m_bpmFile;
    HeartRateDetector m_heartRate;
    std::unique_ptr<SensorLink> m_link;
    SensorSource* m_sensor;
    std::atomic<bool> m_sensorImageOk{false};
    std::uint64_t m_batteryTimer = 0;
    std::uint64_t m_bpmTimer = 0;
    std::uint64_t m_resetImageTimer = 0; // started at the first radio power-off and kept
    std::vector<std::string> m_activityList; // main queue only
    std::vector<std::uint64_t> m_stopLockTimers;
    std::unique_ptr<RequestQueue> m_requests; // none without a network
    std::unique_ptr<RecordingUploader> m_uploader;
    std::unique_ptr<EventSubmitter> m_submitter;
    AmplitudeWindow m_amplitude{m_ctx.settings};
    int m_aboutPending = 1; // main queue only
    // Main queue only.
    bool m_reconnectNoticeOwed = false; // the link broke; "Sensor reconnected." when packets flow
    bool m_stilledByRadio = false;      // the radio went off and stopped the trace
    bool m_noSignalShown = false;
    Nanoseconds m_loadedAt{0};
    // Last, so that it lets go of its lock and timer first. Main queue only.
    std::unique_ptr<SleepPreventer> m_sleepPreventer;
};

} // namespace velorin
