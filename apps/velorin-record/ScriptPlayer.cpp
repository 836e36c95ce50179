#include "ScriptPlayer.h"

#include "ScriptedReachability.h"
#include "monitor/ViewController.h"
#include "platform/Alerts.h"
#include "platform/ApplicationState.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "sensor/sim/SensorFaults.h"

#include <algorithm>

namespace velorin {

using Kind = ScriptCommand::Kind;

ScriptPlayer::ScriptPlayer(Parts parts, std::vector<ScriptCommand> script, std::function<void()> quit)
    : m_parts(parts), m_script(std::move(script)), m_quit(std::move(quit))
{
    std::stable_sort(m_script.begin(), m_script.end(),
                     [](const ScriptCommand& a, const ScriptCommand& b) { return a.at < b.at; });
}

ScriptPlayer::~ScriptPlayer()
{
    m_parts.timers.cancel(m_timer);
}

void ScriptPlayer::start()
{
    m_start = m_parts.clock.monotonic();
    scheduleNext();
}

void ScriptPlayer::scheduleNext()
{
    if (m_next >= m_script.size())
        return;
    const Nanoseconds due = m_script[m_next].at;
    m_timer = m_parts.timers.oneShot(due - (m_parts.clock.monotonic() - m_start), [this, due] {
        m_timer = 0;
        // Every command of the same instant runs in this one turn, in file order.
        while (m_next < m_script.size() && m_script[m_next].at == due)
            if (!run(m_script[m_next++]))
                return;
        scheduleNext();
    });
}

bool ScriptPlayer::run(const ScriptCommand& command)
{
    ViewController& controller = m_parts.controller;
    switch (command.kind) {
    case Kind::start:
        controller.startClick();
        break;
    case Kind::stop:
        controller.stopClick();
        break;
    case Kind::foreground:
        m_parts.appState.set(AppState::Active);
        break;
    case Kind::background:
        m_parts.appState.set(AppState::Background);
        break;
    case Kind::inactive:
        m_parts.appState.set(AppState::Inactive);
        break;
    case Kind::quit:
        m_quit();
        return false;
    case Kind::mark:
        markEvent(command.text, command.feeling);
        break;
    case Kind::offline:
    case Kind::online:
        if (m_parts.reachability)
            m_parts.reachability->force(command.kind == Kind::online);
        break;
    case Kind::choose:
        choose(command.number, command.text);
        break;
    case Kind::disconnect:
        controller.disconnectClick();
        break;
    default:
        simulate(command);
        break;
    }
    return true;
}

void ScriptPlayer::choose(int buttonIndex, const std::string& pin)
{
    m_parts.controller.showDropDownList();
    if (m_parts.alerts.openMessage().empty())
        return; // no list without a sensor link
    if (!m_parts.alerts.press(buttonIndex, pin)) {
        m_parts.log.line("choose " + std::to_string(buttonIndex) + ": the sensor list has no such button; pressed Cancel");
        m_parts.alerts.press(0, {});
    }
}

void ScriptPlayer::markEvent(const std::string& activity, const std::string& feeling)
{
    m_parts.controller.markEvent();
    if (m_parts.alerts.openMessage().empty())
        return; // the button is not there while nothing records
    m_parts.alerts.press(markButton(markActivities, activity), {});
    if (m_parts.alerts.openMessage() == "Choose feeling")
        m_parts.alerts.press(markButton(markFeelings, feeling), {});
}

void ScriptPlayer::simulate(const ScriptCommand& command)
{
    if (m_parts.faults)
        playSimulatorFault(*m_parts.faults, command);
}

} // namespace velorin
