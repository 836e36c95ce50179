#include "ScriptPlayer.h"

#include "ScriptedReachability.h"
#include "monitor/ViewController.h"
#include "platform/Alerts.h"
#include "platform/ApplicationState.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "sensor/sim/SensorFaults.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

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
    case Kind::zoom:
        controller.zoom();
        break;
    case Kind::unzoom:
        controller.unzoom();
        break;
    case Kind::amplitudeUp:
        controller.amplitudeUp();
        break;
    case Kind::amplitudeDown:
        controller.amplitudeDown();
        break;
    case Kind::lock:
        lock(command.text);
        break;
    case Kind::unlock:
        unlock(command.text);
        break;
    case Kind::login:
        controller.backToLogin();
        break;
    case Kind::dismiss:
        m_parts.alerts.press(0, {}); // the open dialog's first button: Cancel, OK or Continue
        break;
    case Kind::resize:
    case Kind::minimize:
    case Kind::restore:
    case Kind::tap:
    case Kind::tab:
    case Kind::screenshot:
        act(command);
        break;
    default:
        simulate(command);
        break;
    }
    return true;
}

namespace {

// The dialogs a script answers, told apart by their message as the screen does.
constexpr std::string_view sensorListMessage = "Write pin for nimbo!";
constexpr std::string_view activityMessage = "Choose activity";
constexpr std::string_view feelingMessage = "Choose feeling";

} // namespace

void ScriptPlayer::choose(int buttonIndex, const std::string& pin)
{
    // A list left open by a plain "choose" is answered rather than opened again.
    if (m_parts.alerts.openMessage() != sensorListMessage)
        m_parts.controller.showDropDownList();
    if (m_parts.alerts.openMessage().empty() || buttonIndex < 0)
        return; // no list without a sensor link, or only opened
    if (!m_parts.alerts.press(buttonIndex, pin)) {
        m_parts.log.line("choose " + std::to_string(buttonIndex) + ": the sensor list has no such button; pressed Cancel");
        m_parts.alerts.press(0, {});
    }
}

void ScriptPlayer::markEvent(const std::string& activity, const std::string& feeling)
{
    // Dialogs left open by an earlier "mark" without its choices are answered, not opened again.
    const std::string open = m_parts.alerts.openMessage();
    if (open != activityMessage && open != feelingMessage)
        m_parts.controller.markEvent();
    if (m_parts.alerts.openMessage().empty())
        return; // the button is not there while nothing records
    if (m_parts.alerts.openMessage() == activityMessage) {
        if (activity.empty())
            return;
        m_parts.alerts.press(markButton(markActivities, activity), {});
    }
    if (m_parts.alerts.openMessage() == feelingMessage && !feeling.empty())
        m_parts.alerts.press(markButton(markFeelings, feeling), {});
}

// As the setup screen's save does with a passcode typed.
void ScriptPlayer::lock(const std::string& passcode)
{
    m_parts.settings.set(keys::lockPass, passcode);
    m_parts.settings.flush();
    m_parts.controller.passwordSet();
}

void ScriptPlayer::unlock(const std::string& passcode)
{
    m_parts.controller.unlockClick();
    m_parts.alerts.press(1, passcode);
}

void ScriptPlayer::act(const ScriptCommand& command)
{
    ScriptWindow* window = m_parts.window;
    if (!window)
        return; // refused when the script is read
    switch (command.kind) {
    case Kind::resize:
        window->resize(command.number, command.height);
        break;
    case Kind::minimize:
        window->minimize();
        break;
    case Kind::restore:
        window->restore();
        break;
    case Kind::tap:
        window->tapTrace();
        break;
    case Kind::tab:
        window->showTab(command.text);
        break;
    default:
        if (!window->screenshot(command.text))
            m_parts.log.line("screenshot: cannot write " + command.text);
        break;
    }
}

void ScriptPlayer::simulate(const ScriptCommand& command)
{
    if (m_parts.faults)
        playSimulatorFault(*m_parts.faults, command);
}

} // namespace velorin
