#include "Recorder.h"

#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/Queue.h"
#include "platform/Timers.h"
#include "sensor/SensorLink.h"
#include "sensor/sim/SensorFaults.h"

#include <algorithm>

namespace velorin {

using Kind = ScriptCommand::Kind;

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
            if (m_controller->acquisition().recordingActive.load() != 1)
                m_controller->startClick();
        });
    }
    if (endWithSensor && m_sensor.source)
        m_sensor.source->onFinished([this] { m_quit(); });
    m_controller = std::make_unique<ViewController>(MonitorContext{
        m_ports.mainQueue, m_ports.bluetoothQueue, m_ports.timers, m_ports.clock, m_log, m_view, m_files, m_settings,
        m_appState, m_sensor.source, m_view, m_documents, m_sensor.central,
        m_network ? std::optional<MonitorNetwork>(MonitorNetwork{m_network->http, *m_reachability, m_network->location,
                                                                 m_network->collectionUrl})
                  : std::nullopt});
    // Nobody is there to read the version; its alert would only stand in the way of the script's.
    m_controller->dontShow();
    // Commands at 0 s run right after the screen has loaded, in file order.
    m_controller->viewDidLoad();
    if (!hasScript && m_sensor.central && m_controller->acquisition().chosenSensorId.empty())
        chooseFirstListed();
    m_script = script;
    std::stable_sort(m_script.begin(), m_script.end(),
                     [](const ScriptCommand& a, const ScriptCommand& b) { return a.at < b.at; });
    m_scriptStart = m_ports.clock.monotonic();
    scheduleNextCommand();
}

void Recorder::chooseFirstListed()
{
    // The list only grows on the Bluetooth queue; a glance four times a second is soon enough.
    m_listWatch = m_ports.timers.repeating(std::chrono::milliseconds(250), [this] {
        SensorLink* link = m_controller->link();
        if (!link || link->devices().size() == 0)
            return;
        m_ports.timers.cancel(m_listWatch);
        choose(1, m_sensor.pin);
    });
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


bool Recorder::run(const ScriptCommand& command)
{
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
    case Kind::choose:
        choose(command.number, command.text);
        break;
    case Kind::disconnect:
        m_controller->disconnectClick();
        break;
    case Kind::simDrop:
    case Kind::simAway:
    case Kind::simRadioOff:
    case Kind::simRadioOn:
    case Kind::simRefuse:
    case Kind::simShort:
    case Kind::simBattery:
    case Kind::simRssi:
        simulate(command);
        break;
    }
    return true;
}

void Recorder::choose(int buttonIndex, const std::string& pin)
{
    m_controller->showDropDownList();
    if (m_view.openMessage().empty())
        return; // no list without a sensor link
    if (!m_view.press(buttonIndex, pin)) {
        m_log.line("choose " + std::to_string(buttonIndex) + ": the sensor list has no such button; pressed Cancel");
        m_view.press(0, {});
    }
}

void Recorder::simulate(const ScriptCommand& command)
{
    if (m_sensor.faults)
        playSimulatorFault(*m_sensor.faults, command);
}

// Presses the mark-event button, then the activity's button and the feeling's ("cancel" presses
// Cancel there), as a user would in the two dialogs.
void Recorder::markEvent(const std::string& activity, const std::string& feeling)
{
    m_controller->markEvent();
    m_view.press(markButton(markActivities, activity), {});
    // Only a chosen activity asks for a feeling.
    if (m_view.openMessage() == "Choose feeling")
        m_view.press(markButton(markFeelings, feeling), {});
}

} // namespace velorin
