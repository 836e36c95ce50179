#include "monitor/EventMarking.h"

#include "monitor/MonitorView.h"
#include "platform/Alerts.h"
#include "recording/EventCapture.h"

#include <utility>

namespace velorin {

namespace {

// The feelings offered after an activity, in button order after Cancel.
const std::vector<std::string> feelingTitles = {"diziness", "discomfort", "palpitations", "none"};

} // namespace

EventMarking::EventMarking(EventCapture& events, MonitorView& view, Timers& timers,
                           std::function<void(const AlertRequest&)> ask, std::function<void(const std::string&)> send)
    : m_events(events), m_view(view), m_timers(timers), m_ask(std::move(ask)), m_send(std::move(send))
{
}

EventMarking::~EventMarking()
{
    for (const Timers::Id id : m_stopLockTimers)
        m_timers.cancel(id);
}

void EventMarking::clearChoices()
{
    m_events.setActivity("");
    m_events.setFeeling("");
}

void EventMarking::markEvent()
{
    // Pending at once: even a cancelled choice leaves the signal around this moment to be kept.
    m_events.markPending();
    m_activityList = {"Laying", "Sitting", "Standing", "Resting", "Walking", "Active", "Other"};
    m_ask({"Mark event", std::string(activityMessage), "Cancel", m_activityList, false});
}

void EventMarking::activityChosen(int buttonIndex)
{
    if (buttonIndex < 1 || buttonIndex > static_cast<int>(m_activityList.size()))
        return;
    const std::string activity = m_activityList[static_cast<std::size_t>(buttonIndex - 1)];
    // Sent now, before the feeling is asked for; the annotation lands between two packet records.
    m_send(activity);
    m_events.setActivity(activity);
    m_ask({"Mark event", std::string(feelingMessage), "Cancel", feelingTitles, false});
}

void EventMarking::feelingChosen(int buttonIndex)
{
    if (buttonIndex < 1 || buttonIndex > static_cast<int>(feelingTitles.size()))
        return;
    m_view.makeToast("Marked event.");
    m_events.setFeeling(feelingTitles[static_cast<std::size_t>(buttonIndex - 1)]);
    m_view.setEnabled(Outlet::StopButton, false);
    m_view.setEnabled(Outlet::stopLandscape, false);
    // Each choice starts its own timer; the first to fire unlocks.
    m_stopLockTimers.push_back(m_timers.oneShot(stopLockAfterEvent, [this] { reEnableStopButton(); }));
}

void EventMarking::reEnableStopButton()
{
    m_view.setEnabled(Outlet::StopButton, true);
    m_view.setEnabled(Outlet::stopLandscape, true);
}

} // namespace velorin
