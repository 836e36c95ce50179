#include "Recorder.h"

#include "platform/Clock.h"
#include "platform/Queue.h"
#include "platform/Timers.h"

namespace velorin {

Recorder::Recorder(RecorderPorts ports, Log& log, Files& files, SettingsStore& settings, SensorSource& sensor,
                   std::string documentsDirectory, std::FILE* out, bool lineBuffered)
    : m_ports(ports), m_view(out, ports.clock, ports.clock.now(), lineBuffered, log), m_sensor(&sensor), m_log(log),
      m_files(files), m_settings(settings), m_documents(std::move(documentsDirectory)), m_innerSensor(sensor)
{
}

void Recorder::begin(const std::vector<ScriptCommand>& script, bool hasScript, bool endWithSensor,
                     std::function<void()> quit)
{
    m_quit = std::move(quit);
    if (!hasScript) {
        m_autoStart = std::make_unique<AutoStart>(m_innerSensor, m_ports.mainQueue,
                                                  [this] { m_controller->startClick(); });
        m_sensor = m_autoStart.get();
    }
    if (endWithSensor)
        m_sensor->onFinished([this] { m_quit(); });
    m_controller = std::make_unique<ViewController>(MonitorContext{
        m_ports.mainQueue, m_ports.bluetoothQueue, m_ports.timers, m_ports.clock, m_log, m_view, m_files, m_settings,
        m_appState, *m_sensor, m_view, m_documents});
    // Commands at 0 s run right after the screen has loaded, in file order.
    m_controller->viewDidLoad();
    for (const ScriptCommand& command : script)
        m_ports.timers.oneShot(command.at, [this, command] { run(command); });
}

void Recorder::stopSensor()
{
    m_sensor->stop();
}

void Recorder::run(const ScriptCommand& command)
{
    using Kind = ScriptCommand::Kind;
    switch (command.kind) {
    case Kind::start:
        m_controller->startClick();
        break;
    case Kind::stop:
        m_controller->stopClick();
        break;
    case Kind::foreground:
        m_appState.set(AppState::Active);
        break;
    case Kind::background:
        m_appState.set(AppState::Background);
        break;
    case Kind::inactive:
        m_appState.set(AppState::Inactive);
        break;
    case Kind::quit:
        m_quit();
        break;
    }
}

} // namespace velorin
