#include "Recorder.h"

#include "platform/Clock.h"
#include "platform/Queue.h"
#include "platform/Timers.h"

#include <algorithm>

namespace velorin {

Recorder::Recorder(RecorderPorts ports, Log& log, Files& files, SettingsStore& settings, SensorSource& sensor,
                   std::string documentsDirectory, std::FILE* out, bool lineBuffered,
                   std::optional<RecorderNetwork> network)
    : m_ports(ports), m_view(out, ports.clock, ports.clock.monotonic(), lineBuffered, log), m_sensor(&sensor), m_log(log),
      m_files(files), m_settings(settings), m_documents(std::move(documentsDirectory)), m_innerSensor(sensor),
      m_network(std::move(network))
{
    if (m_network)
        m_reachability.emplace(m_network->systemReachability);
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
        m_appState, m_sensor, m_view, m_documents, nullptr,
        m_network ? std::optional<MonitorNetwork>(MonitorNetwork{m_network->http, *m_reachability, m_network->location,
                                                                 m_network->collectionUrl})
                  : std::nullopt});
    // Commands at 0 s run right after the screen has loaded, in file order.
    m_controller->viewDidLoad();
    m_script = script;
    std::stable_sort(m_script.begin(), m_script.end(),
                     [](const ScriptCommand& a, const ScriptCommand& b) { return a.at < b.at; });
    m_scriptStart = m_ports.clock.monotonic();
    scheduleNextCommand();
}

// One timer at a time, however long the script: a timer per line would cost memory and start-up
// time in proportion to it.
void Recorder::scheduleNextCommand()
{
    if (m_nextCommand >= m_script.size())
        return;
    const Nanoseconds due = m_script[m_nextCommand].at;
    m_ports.timers.oneShot(due - (m_ports.clock.monotonic() - m_scriptStart), [this, due] {
        // Every command of the same instant runs in this one turn, in file order.
        while (m_nextCommand < m_script.size() && m_script[m_nextCommand].at == due)
            if (!run(m_script[m_nextCommand++]))
                return;
        scheduleNextCommand();
    });
}

void Recorder::stopSensor()
{
    m_sensor->stop();
}

bool Recorder::run(const ScriptCommand& command)
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
        return false;
    case Kind::mark:
        markEvent(command.text, command.feeling);
        break;
    case Kind::offline:
    case Kind::online:
        if (m_reachability)
            m_reachability->force(command.kind == Kind::online);
        break;
    default:
        break;
    }
    return true;
}

// Presses the mark-event button, then the activity's button and the feeling's ("cancel" presses
// Cancel there), as a user would in the two dialogs.
void Recorder::markEvent(const std::string& activity, const std::string& feeling)
{
    auto buttonOf = [](const std::vector<std::string>& titles, const std::string& title) {
        const auto found = std::find(titles.begin(), titles.end(), title);
        return found == titles.end() ? 0 : static_cast<int>(found - titles.begin()) + 1;
    };
    m_controller->markEvent();
    m_view.press(buttonOf(markActivities, activity), {});
    // Only a chosen activity asks for a feeling.
    if (m_view.openMessage() == "Choose feeling")
        m_view.press(buttonOf(markFeelings, feeling), {});
}

} // namespace velorin
