#pragma once

#include "AutoStart.h"
#include "ConsoleView.h"
#include "RecorderOptions.h"
#include "RecorderScript.h"
#include "ScriptedReachability.h"
#include "monitor/ViewController.h"
#include "platform/ApplicationState.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace velorin {

class Clock;
class Files;
class Log;
class Queue;
class SettingsStore;
class Timers;

struct RecorderPorts {
    Queue& mainQueue;
    Queue& bluetoothQueue;
    Timers& timers;
    const Clock& clock;
};

// Where recordings and events are sent.
struct RecorderNetwork {
    HttpClient& http;
    const Reachability& systemReachability;
    Location& location;
    std::string collectionUrl;
};

// The headless recorder: the monitor's core with a console view, driven by a script or by the
// first packet. The same object runs on virtual time and on the Qt runtime.
class Recorder {
public:
    Recorder(RecorderPorts ports, Log& log, Files& files, SettingsStore& settings, SensorSource& sensor,
             std::string documentsDirectory, std::FILE* out, bool lineBuffered,
             std::optional<RecorderNetwork> network = std::nullopt);

    // Loads the monitor and schedules the script; without one, Start follows the first packet.
    // quit is called on the main queue by a script's quit and, with endWithSensor, once a finite
    // sensor (a replay) has delivered its last update.
    void begin(const std::vector<ScriptCommand>& script, bool hasScript, bool endWithSensor,
               std::function<void()> quit);
    void stopSensor();
    void finishOutput() { m_view.finish(); }

    ViewController& controller() { return *m_controller; }

private:
    // False once the run is to end.
    bool run(const ScriptCommand& command);
    void scheduleNextCommand();
    void markEvent(const std::string& activity, const std::string& feeling);

    RecorderPorts m_ports;
    ApplicationState m_appState;
    ConsoleView m_view;
    std::unique_ptr<AutoStart> m_autoStart;
    SensorSource* m_sensor;
    std::unique_ptr<ViewController> m_controller;
    std::function<void()> m_quit;
    std::vector<ScriptCommand> m_script; // in time order
    std::size_t m_nextCommand = 0;
    Nanoseconds m_scriptStart{0};
    Log& m_log;
    Files& m_files;
    SettingsStore& m_settings;
    std::string m_documents;
    SensorSource& m_innerSensor;
    std::optional<RecorderNetwork> m_network;
    std::optional<ScriptedReachability> m_reachability;
};

} // namespace velorin
