#pragma once

#include "platform/Timers.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velorin {

struct AlertRequest;
class EventCapture;
class MonitorView;

// Marking an event on the monitor screen: the mark is pending at once, then the user picks an
// activity (sent at once) and a feeling, and the Stop buttons stay locked for 45 s so that the
// closing chunk of the event's file gets recorded. Main queue only, where its timers fire.
class EventMarking {
public:
    // The dialogs are told apart by their message.
    static constexpr std::string_view activityMessage = "Choose activity";
    static constexpr std::string_view feelingMessage = "Choose feeling";
    static constexpr Nanoseconds stopLockAfterEvent = std::chrono::seconds(45);

    // `ask` shows a dialog whose answer comes back through activityChosen or feelingChosen;
    // `send` hands the chosen activity to the recording stream and the event server.
    EventMarking(EventCapture& events, MonitorView& view, Timers& timers, std::function<void(const AlertRequest&)> ask,
                 std::function<void(const std::string&)> send);
    ~EventMarking();
    EventMarking(const EventMarking&) = delete;
    EventMarking& operator=(const EventMarking&) = delete;

    // No activity or feeling chosen yet.
    void clearChoices();
    void markEvent();
    // Button 0 is Cancel, which leaves everything as it was.
    void activityChosen(int buttonIndex);
    void feelingChosen(int buttonIndex);
    void reEnableStopButton();

private:
    EventCapture& m_events;
    MonitorView& m_view;
    Timers& m_timers;
    std::function<void(const AlertRequest&)> m_ask;
    std::function<void(const std::string&)> m_send;
    std::vector<std::string> m_activityList;
    std::vector<Timers::Id> m_stopLockTimers;
};

} // namespace velorin
