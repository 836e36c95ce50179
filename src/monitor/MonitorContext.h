#pragma once

#include <optional>
#include <string>

namespace velorin {

class Alerts;
class ApplicationState;
class BleCentralFactory;
class Clock;
class Files;
class HttpClient;
class Location;
class Log;
class MonitorView;
class Queue;
class Reachability;
class SensorSource;
class SettingsStore;
class Timers;
struct KeepAwakePorts;

// What the monitor needs to reach the servers.
struct MonitorNetwork {
    HttpClient& http;
    Reachability& reachability;
    Location& location;
    // Where uploads and events go while the login has named no server of its own.
    std::string collectionUrl;
};

// What the monitor screen and the session behind it need of the world.
struct MonitorContext {
    Queue& mainQueue;
    Queue& bluetoothQueue;
    Timers& timers;
    const Clock& clock;
    Log& log;
    Alerts& alerts;
    Files& files;
    SettingsStore& settings;
    ApplicationState& appState;
    // A simulated sensor or a replay, feeding intake directly; unused when centralFactory is given.
    SensorSource* sensor;
    MonitorView& view;
    std::string documentsDirectory;
    // When given, the monitor runs its own link to a sensor over Bluetooth with a central made by it.
    BleCentralFactory* centralFactory = nullptr;
    // Without a network nothing is sent: chunks and events stay in the recording files.
    std::optional<MonitorNetwork> network{};
    // What keeps the computer awake while the monitor runs; without it the process may be put to sleep.
    KeepAwakePorts* keepAwake = nullptr;
};

} // namespace velorin
