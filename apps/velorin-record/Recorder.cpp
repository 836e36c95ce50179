#include "Recorder.h"

#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Timers.h"
#include "sensor/SensorSource.h"

#include <utility>

namespace velorin {

Recorder::Recorder(RecorderPorts ports, Log& log, Files& files, SettingsStore& settings, RecorderSensor sensor,
                   std::string documentsDirectory, std::FILE* out, bool lineBuffered,
                   std::optional<RecorderNetwork> network)
    : m_ports(ports), m_view(out, ports.clock, ports.clock.monotonic(), lineBuffered, log), m_sensor(std::move(sensor)),
      m_log(log), m_files(files), m_settings(settings), m_documents(std::move(documentsDirectory)),
      m_network(std::move(network))
{
    if (m_network)
        m_reachability.emplace(m_network->systemReachability);
}

Recorder::~Recorder()
{
    m_ports.timers.cancel(m_listWatch);
}

void Recorder::begin(const std::vector<ScriptCommand>& script, bool hasScript, bool endWithSensor,
                     std::function<void()> quit)
{
    m_quit = std::move(quit);
    if (!hasScript) {
        // As a user would once the trace comes alive, and again after the sensor came back.
        m_view.onSensorOk([this] {
            if (!m_controller->isRecording())
                m_controller->startClick();
        });
    }
    if (endWithSensor && m_sensor.source)
        m_sensor.source->onFinished([this] { m_quit(); });
    const MonitorContext context{
        m_ports.mainQueue, m_ports.bluetoothQueue, m_ports.timers, m_ports.clock, m_log, m_view, m_files, m_settings,
        m_appState, m_sensor.source, m_view, m_documents, m_sensor.central,
        m_network ? std::optional<MonitorNetwork>(MonitorNetwork{m_network->http, *m_reachability, m_network->location,
                                                                 m_network->collectionUrl})
                  : std::nullopt};
    m_session = std::make_unique<MonitorSession>(context, m_acquisition);
    m_controller = std::make_unique<ViewController>(context, *m_session);
    // Nobody is there to read the version; its alert would only stand in the way of the script's.
    m_controller->dontShow();
    // Commands at 0 s run right after the screen has loaded, in file order.
    m_controller->viewDidLoad();
    m_player = std::make_unique<ScriptPlayer>(
        ScriptPlayer::Parts{m_ports.timers, m_ports.clock, m_log, *m_controller, m_view, m_appState,
                            m_settings, m_reachability ? &*m_reachability : nullptr, m_sensor.faults},
        script, [this] { m_quit(); });
    if (!hasScript && m_sensor.central)
        m_session->askAboutSensors([this](const MonitorSession::SensorsSeen& seen) {
            if (seen.chosenSensorId.empty())
                chooseFirstListed();
        });
    m_player->start();
}

void Recorder::chooseFirstListed()
{
    // The list grows on the Bluetooth queue, which is asked four times a second: soon enough.
    m_listWatch = m_ports.timers.repeating(std::chrono::milliseconds(250), [this] {
        m_session->askAboutSensors([this](const MonitorSession::SensorsSeen& seen) {
            // A second answer may come in behind the one that chose.
            if (seen.listed == 0 || m_listWatch == 0)
                return;
            m_ports.timers.cancel(std::exchange(m_listWatch, 0));
            m_player->choose(1, m_sensor.pin);
        });
    });
}

} // namespace velorin
