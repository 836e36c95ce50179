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
class SettingsStore;
class ViewController;

// What a script does to the desktop window; the headless recorder has none.
class ScriptWindow {
public:
    virtual ~ScriptWindow() = default;
    virtual void resize(int width, int height) = 0;
    virtual void minimize() = 0;
    virtual void restore() = 0;
    // A click on the trace.
    virtual void tapTrace() = 0;
    // monitor, history or settings.
    virtual void showTab(const std::string& name) = 0;
    // The window as it looks now, as PNG; false when it cannot be written.
    virtual bool screenshot(const std::string& file) = 0;
};

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
        SettingsStore& settings;
        ScriptedReachability* reachability; // none without a network
        SensorFaults* faults;               // the simulated sensors' only
        ScriptWindow* window = nullptr;     // the desktop window's only
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
    void lock(const std::string& passcode);
    void unlock(const std::string& passcode);
    void act(const ScriptCommand& command);

    Parts m_parts;
    std::vector<ScriptCommand> m_script; // in time order
    std::function<void()> m_quit;
    std::size_t m_next = 0;
    Nanoseconds m_start{0};
    Timers::Id m_timer = 0;
};

} // namespace velorin
