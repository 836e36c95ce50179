#pragma once

#include "RecorderScript.h"
#include "platform/Timers.h"

#include <functional>
#include <vector>

namespace velorin {

class ApplicationState;
class Clock;
class Log;
class ScriptableAlerts;
class ScriptedReachability;
class SensorFaults;
class ViewController;

// Plays a timed script on the monitor (the window's or the headless recorder's): each command goes
// through the same controller action as the button it names, and dialogs are answered by pressing
// their buttons.
class ScriptPlayer {
public:
    struct Parts {
        Timers& timers;
        const Clock& clock;
        Log& log;
        ViewController& controller;
        ScriptableAlerts& alerts;
        ApplicationState& appState;
        ScriptedReachability* reachability; // none without a network
        SensorFaults* faults;               // the simulated sensors' only
    };
    ScriptPlayer(Parts parts, std::vector<ScriptCommand> script, std::function<void()> quit);
    ~ScriptPlayer();
    ScriptPlayer(const ScriptPlayer&) = delete;
    ScriptPlayer& operator=(const ScriptPlayer&) = delete;

    // Times count from now.
    void start();
    // Opens the sensor list and presses a button of it with the pin typed.
    void choose(int buttonIndex, const std::string& pin);

private:
    void scheduleNext();
    // False once the run is to end.
    bool run(const ScriptCommand& command);
    void markEvent(const std::string& activity, const std::string& feeling);
    void simulate(const ScriptCommand& command);

    Parts m_parts;
    std::vector<ScriptCommand> m_script; // in time order
    std::function<void()> m_quit;
    std::size_t m_next = 0;
    Nanoseconds m_start{0};
    Timers::Id m_timer = 0;
};

} // namespace velorin
