#include "monitor/MonitorSession.h"
#include "sensor/RememberedSensor.h"

#include "monitor/MonitorView.h"
#include "net/EventSubmitter.h"
#include "net/RecordingUploader.h"
#include "net/RequestQueue.h"
#include "net/UploadStatus.h"
#include "platform/ApplicationState.h"
#include "platform/Log.h"
#include "platform/Queue.h"
#include "sensor/SensorLink.h"
#include "sensor/SensorSource.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <mutex>
#include <utility>

namespace velorin {

MonitorSession::MonitorSession(const MonitorContext& context, Acquisition& acquisition)
    : m_ctx(context), m_acq(acquisition), m_ecgView(m_ctx.appState), m_feed(m_ecgView),
      m_decoder(m_ring, m_feed, m_acq.uploadBuffer),
      m_files(m_ctx.files, m_ctx.log,
              [this](const std::string& notice) {
                  m_ctx.mainQueue.async([this, notice] { m_ctx.view.makeToast(notice); });
              }),
      m_writer(m_acq, m_events, m_files, m_ctx.clock, m_ctx.log, m_ctx.documentsDirectory),
      m_bpmFile(m_files, m_ctx.clock, m_ctx.documentsDirectory),
      m_heartRate(m_ring, m_ecgView.ekgMap(),
                  [this](const std::string& text) { m_ctx.view.setText(Outlet::bpmLabel, text); },
                  [this](std::int32_t reading) { m_bpmFile.append(reading); }),
      m_sensor(m_ctx.sensor)
{
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

MonitorSession::~MonitorSession()
{
    // Answers still on their way find the requests closed.
    if (m_requests)
        m_requests->close();
}

void MonitorSession::attachScreen(IntakeOutlets& intakeOutlets, LinkOutlets& linkOutlets)
{
    m_intake.emplace(m_acq, m_decoder, m_writer, m_ctx.appState, intakeOutlets, m_ctx.clock, m_ctx.log);
    if (m_ctx.centralFactory) {
        m_link = std::make_unique<SensorLink>(*m_ctx.centralFactory, m_ctx.bluetoothQueue, m_ctx.timers, m_ctx.log,
                                              m_ctx.settings, m_acq, linkOutlets);
        m_sensor = m_link.get();
    }
}

void MonitorSession::readSettings()
{
    SettingsStore& settings = m_ctx.settings;
    if (auto id = settings.text(sensorKeys::selectedUUID))
        m_acq.chosenSensorId = *id;
    m_acq.fileServerList =
        settings.has(keys::fileServers) ? settings.textArray(keys::fileServers) : std::vector<std::string>{};
    m_acq.eventServerAddress = settings.text(keys::markedServer).value_or("");
    if (auto pin = settings.text(sensorKeys::sensorPin))
        m_acq.sensorPin = *pin;
}

void MonitorSession::startSensor()
{
    if (m_sensor && m_intake)
        m_sensor->start(*m_intake);
}

void MonitorSession::readBatteryLevel()
{
    if (m_sensor)
        m_sensor->readBatteryLevel();
}

void MonitorSession::stopSensor()
{
    if (m_sensor)
        m_sensor->stop();
}

bool MonitorSession::startRecording()
{
    const bool wasRecording = m_acq.recordingActive.exchange(1) == 1;
    m_acq.packetsSinceStart.store(0);
    return wasRecording;
}

void MonitorSession::stopRecording()
{
    m_acq.packetsSinceStart.store(0);
    m_acq.recordingActive.store(0);
}

void MonitorSession::dropUncountedPackets()
{
    // Behind any flush already asked for (the disconnect button's), whose records are not to be dropped.
    m_ctx.bluetoothQueue.async([this] {
        std::lock_guard lock(m_acq.bufferMutex);
        m_acq.uncountedText.trim(m_acq.sampleText);
        m_acq.uncountedText.forget();
        m_acq.recordBuffer.clear();
        m_acq.uncountedRecords.forget();
    });
}

void MonitorSession::closeStream()
{
    // Behind any flush already asked for, which still belongs to the stream being closed.
    m_ctx.bluetoothQueue.async([this] {
        std::lock_guard lock(m_acq.bufferMutex);
        m_acq.recordingPath.clear();
    });
}

void MonitorSession::flushGatheredLater()
{
    m_ctx.bluetoothQueue.async([this] { flushGathered(true); });
}

void MonitorSession::sendMarkedEvent(const std::string& activity)
{
    m_ctx.bluetoothQueue.async([this, activity] { m_submitter->sendMarkedEvent(activity); });
}

std::optional<Nanoseconds> MonitorSession::lastEcgPacketAt() const
{
    const std::int64_t last = m_acq.lastEcgPacketAt.load(std::memory_order_relaxed);
    if (last == Acquisition::noPacketYet)
        return std::nullopt;
    return Nanoseconds(last);
}

void MonitorSession::flushGathered(bool always)
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

void MonitorSession::forgetGathered()
{
    // Another sensor's packets never join the stream whose header names this one.
    flushGathered(false);
    std::lock_guard lock(m_acq.bufferMutex);
    if (!m_acq.sampleText.empty())
        m_ctx.log.line(
            "Another sensor was chosen: the packets gathered from the last one while not recording are dropped");
    m_acq.sampleText.clear();
    m_acq.recordBuffer.clear();
    m_acq.uploadBuffer.clear();
    m_acq.uncountedText.forget();
    m_acq.uncountedRecords.forget();
    m_acq.uncountedUploads.forget();
    m_acq.flushCounter = 0;
    m_acq.recordingPath.clear();
}

void MonitorSession::breakTrace()
{
    m_feed.restartPairs();
    m_ecgView.breakTrace();
}

void MonitorSession::flushOnQuit(std::function<void()> done)
{
    stopSensor();
    // Behind the sensor's stop on the Bluetooth queue: no packet arrives while the last chunk is written.
    m_ctx.bluetoothQueue.async([this, done = std::move(done)] {
        flushGathered(false);
        if (done)
            done();
    });
}

std::size_t MonitorSession::unansweredRequests() const
{
    return m_requests ? static_cast<std::size_t>(m_requests->openCount()) + m_requests->waitingCount() : 0;
}

void MonitorSession::keepUnansweredRequests()
{
    if (m_requests)
        m_requests->close();
}

void MonitorSession::askAboutSensors(std::function<void(const SensorsSeen&)> answer)
{
    m_ctx.bluetoothQueue.async([this, answer = std::move(answer)]() mutable {
        SensorsSeen seen{m_acq.chosenSensorId, m_link ? m_link->devices().size() : 0};
        m_ctx.mainQueue.async([answer = std::move(answer), seen = std::move(seen)] { answer(seen); });
    });
}

} // namespace velorin
