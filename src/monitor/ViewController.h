#pragma once

#include "monitor/MonitorView.h"
#include "monitor/TraceView.h"
#include "recording/EventCapture.h"
#include "recording/RecordingFiles.h"
#include "recording/RecordingWriter.h"
#include "signal/Acquisition.h"
#include "signal/HeartRateDetector.h"
#include "signal/PacketDecoder.h"
#include "signal/PacketIntake.h"
#include "signal/SampleRing.h"
#include "signal/TraceFeed.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velorin {

class Alerts;
class ApplicationState;
class Clock;
class EventSubmitter;
class Files;
class HttpClient;
class Location;
class Log;
class Queue;
class Reachability;
class RecordingUploader;
class RequestQueue;
class SensorSource;
class SettingsStore;
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
    SensorSource& sensor;
    MonitorView& view;
    std::string documentsDirectory;
    // Without a network nothing is sent: chunks and events stay in the recording files.
    std::optional<MonitorNetwork> network{};
};

// The monitor screen's controller: owns the acquisition state and the signal path (intake, decoder,
// trace feed, heart rate, recording writer) and drives the screen through its view.
class ViewController : private IntakeOutlets {
public:
    explicit ViewController(MonitorContext context);
    ~ViewController() override;
    ViewController(const ViewController&) = delete;
    ViewController& operator=(const ViewController&) = delete;

    // Screen load: initial outlet state, settings into the acquisition state, the sensor and the timers.
    void viewDidLoad();

    // Start and Stop buttons (main queue).
    void startClick();
    void stopClick();
    void resetImageChanged();
    void readBatteryLevel();

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
    // True once a recording file could not be saved in this run.
    bool recordingFailed() const { return m_files.anyFailed(); }

private:
    // Intake's screen effects, posted from the Bluetooth queue.
    void showConnectedNotice() override;
    bool sensorImageIsOk() const override { return m_sensorImageOk.load(); }
    void refreshSensorStatus() override;
    void showBatteryLevel(std::uint8_t rawByte) override;

    // Shows Stop and hides Start while recording, the other way round when not.
    void swapStartAndStop(bool recording);
    // Hides the event button and the heart rate, stops the trace and closes the stream file.
    void stillTraceAndCloseStream();
    void displayBattery(std::uint8_t rawByte);
    void setSensorImage(const std::string& name);
    bool locked() const;

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
    HeartRateDetector m_heartRate;
    std::atomic<bool> m_sensorImageOk{false};
    std::uint64_t m_batteryTimer = 0;
    std::uint64_t m_bpmTimer = 0;
    std::vector<std::string> m_activityList; // main queue only
    std::vector<std::uint64_t> m_stopLockTimers;
    std::unique_ptr<RequestQueue> m_requests; // none without a network
    std::unique_ptr<RecordingUploader> m_uploader;
    std::unique_ptr<EventSubmitter> m_submitter;
};

} // namespace velorin
