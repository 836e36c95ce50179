#pragma once

#include "ConsoleView.h"
#include "RecorderOptions.h"
#include "RecorderScript.h"
#include "ScriptPlayer.h"
#include "ScriptedReachability.h"
#include "monitor/MonitorSession.h"
#include "monitor/ViewController.h"
#include "platform/ApplicationState.h"
#include "platform/Timers.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace velorin {

class BleCentralFactory;
class Clock;
class Files;
class Log;
class Queue;
class SensorFaults;
class SettingsStore;

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

// Where packets come from: a replay feeding intake directly, or a central (simulated or over
// Bluetooth) through which the monitor's sensor link finds and connects the sensor.
struct RecorderSensor {
    SensorSource* source = nullptr;
    BleCentralFactory* central = nullptr;
    SensorFaults* faults = nullptr; // the simulated sensors', for the script's "sim" commands
    std::string pin;                // typed when the recorder chooses a sensor itself
};

// The headless recorder: the monitor's core with a console view, driven by a script or, without
// one, by the sensor: Start is pressed whenever the sensor's packets begin to flow, and with no
// remembered sensor the first one listed is chosen. The same object runs on virtual time and on
// the Qt runtime.
class Recorder {
public:
    Recorder(RecorderPorts ports, Log& log, Files& files, SettingsStore& settings, RecorderSensor sensor,
             std::string documentsDirectory, std::FILE* out, bool lineBuffered,
             std::optional<RecorderNetwork> network = std::nullopt);
    ~Recorder();

    // Loads the monitor and schedules the script. quit is called on the main queue by a script's
    // quit and, with endWithSensor, once a finite sensor (a replay) has delivered its last update.
    void begin(const std::vector<ScriptCommand>& script, bool hasScript, bool endWithSensor,
               std::function<void()> quit);
    // Stops the sensor and writes what was gathered since the last flush; `done` runs on the
    // Bluetooth queue once that is over.
    void flushOnQuit(std::function<void()> done) { m_session->flushOnQuit(std::move(done)); }
    void finishOutput() { m_view.finish(); }

    // What runs behind the monitor: its requests, its files, its quit.
    MonitorSession& session() { return *m_session; }

private:
    // Without a script and without a remembered sensor: the first sensor listed is chosen.
    void chooseFirstListed();

    RecorderPorts m_ports;
    ApplicationState m_appState;
    ConsoleView m_view;
    RecorderSensor m_sensor;
    // The controller goes before the session behind it.
    Acquisition m_acquisition; // the session's; it outlives the session
    std::unique_ptr<MonitorSession> m_session;
    std::unique_ptr<ViewController> m_controller;
    std::function<void()> m_quit;
    std::unique_ptr<ScriptPlayer> m_player;
    Timers::Id m_listWatch = 0;
    Log& m_log;
    Files& m_files;
    SettingsStore& m_settings;
    std::string m_documents;
    std::optional<RecorderNetwork> m_network;
    std::optional<ScriptedReachability> m_reachability;
};

} // namespace velorin
