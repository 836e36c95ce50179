#pragma once

#include "monitor/MonitorContext.h"
#include "monitor/TraceView.h"
#include "platform/Seconds.h"
#include "recording/EventCapture.h"
#include "recording/HeartRateFile.h"
#include "recording/RecordingFiles.h"
#include "recording/RecordingWriter.h"
#include "signal/Acquisition.h"
#include "signal/HeartRateDetector.h"
#include "signal/PacketDecoder.h"
#include "signal/PacketIntake.h"
#include "signal/SampleRing.h"
#include "signal/TraceFeed.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace velorin {

class EventSubmitter;
class LinkOutlets;
class RecordingUploader;
class RequestQueue;
class SensorLink;

// What runs behind the monitor screen for the life of the process: the acquisition state, the
// signal path (decoder, trace feed, trace view, heart rate, intake), the recording writer and its
// files, the sensor (a link over Bluetooth, or a plain source such as a replay) and, with a network,
// the request queue, the uploader and the event submitter, wired to one another.
//
// Made before the screen's controller, which attaches the screen effects of intake and of the link
// and goes first. The buffers that Start, Stop, a drop and the quit touch are locked here, on the
// Bluetooth queue; each operation names its thread.
class MonitorSession {
public:
    // The acquisition state is the caller's, made before the session and kept after it.
    MonitorSession(const MonitorContext& context, Acquisition& acquisition);
    ~MonitorSession();
    MonitorSession(const MonitorSession&) = delete;
    MonitorSession& operator=(const MonitorSession&) = delete;

    // Once, before the screen loads: intake and the link report to the screen through these.
    void attachScreen(IntakeOutlets& intakeOutlets, LinkOutlets& linkOutlets);

    // Main queue, at load: the remembered sensor and pin and the server addresses from the settings,
    // then the sensor's updates on to intake.
    void readSettings();
    void startSensor();
    // Main queue: asks the sensor for its battery level; the answer reaches the intake outlets.
    void readBatteryLevel();

    // Main queue: Start and Stop. startRecording tells whether a recording was on already.
    bool startRecording();
    void stopRecording();
    // The user pressed Start and no Stop or disconnect has ended the recording since. Any thread.
    bool isRecording() const { return m_acq.recordingActive.load() == 1; }
    // Main queue, each posted to the Bluetooth queue behind any flush already asked for:
    // packets gathered before Start leave the stream (the sample text keeps at most one chunk);
    // the next flush opens a new stream file; what was gathered is written as a flush would, recording or not;
    // the activity of a marked event goes to the stream and the event server.
    void dropUncountedPackets();
    void closeStream();
    void flushGatheredLater();
    void sendMarkedEvent(const std::string& activity);
    // When the latest ECG packet came (monotonic clock), or nothing before the first. Any thread.
    std::optional<Nanoseconds> lastEcgPacketAt() const;
    // The sensor status was shown (intake then leaves it alone) or is to be shown again. Any thread.
    void setSensorStatusShown(bool shown) { m_acq.sensorStatusShown.store(shown ? 1 : 0); }

    // Bluetooth queue. flushGathered writes what was gathered since the last flush as a flush would,
    // when the flush rule counts packets now (recording on, or not in the foreground) or `always`.
    void flushGathered(bool always);
    // Another sensor was chosen: what was gathered from the last one is written or dropped, and the
    // next flush opens a new stream.
    void forgetGathered();
    // The trace leaves a gap rather than join the last value before a silence to the first after it.
    void breakTrace();

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
    // True once a recording file could not be saved in this run.
    bool recordingFailed() const { return m_files.anyFailed(); }

    // What the Bluetooth queue holds about the sensor to choose.
    struct SensorsSeen {
        std::string chosenSensorId; // empty: none chosen or remembered
        std::size_t listed = 0;     // sensors found so far (none without a link)
    };
    // Main queue: looks on the Bluetooth queue, which owns them; `answer` runs on the main queue.
    void askAboutSensors(std::function<void(const SensorsSeen&)> answer);

    // The parts the screen drives (main queue).
    TraceView& ecgView() { return m_ecgView; }
    EventCapture& events() { return m_events; }
    HeartRateDetector& heartRate() { return m_heartRate; }
    // The next heart-rate reading begins a new file.
    void newHeartRateFile() { m_bpmFile.reset(); }
    // Null with a plain sensor source. Its list, choice and disconnect are main-queue operations.
    SensorLink* link() { return m_link.get(); }

private:
    MonitorContext m_ctx;
    Acquisition& m_acq;
    SampleRing m_ring;
    TraceView m_ecgView;
    TraceFeed m_feed;
    PacketDecoder m_decoder;
    EventCapture m_events;
    RecordingFiles m_files;
    RecordingWriter m_writer;
    std::optional<PacketIntake> m_intake; // from attachScreen
    HeartRateFile m_bpmFile;
    HeartRateDetector m_heartRate;
    std::unique_ptr<SensorLink> m_link;
    SensorSource* m_sensor;
    std::unique_ptr<RequestQueue> m_requests; // none without a network
    std::unique_ptr<RecordingUploader> m_uploader;
    std::unique_ptr<EventSubmitter> m_submitter;
};

} // namespace velorin
