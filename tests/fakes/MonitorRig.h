#pragma once

#include "FakeHttp.h"
#include "FakeLocation.h"
#include "FakeLog.h"
#include "FakeMonitorView.h"
#include "FakeReachability.h"
#include "MemoryFiles.h"
#include "Packets.h"
#include "ScriptedSensor.h"
#include "monitor/MonitorSession.h"
#include "monitor/ViewController.h"
#include "platform/ApplicationState.h"
#include "platform/virtual/VirtualRuntime.h"
#include "settings/SettingsStore.h"
#include "signal/PacketLayout.h"

#include <cstdlib>
#include <ctime>
#include <memory>

namespace velorin {

// Central European time without tzdata: stamps in tests do not depend on the machine's zone.
inline void useTestTimeZone()
{
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
}

// 2017-05-27 10:15:00 local (CEST, UTC+2).
inline constexpr double testStart = 1495872900.0;

inline const std::string testCollectionUrl = "http://127.0.0.1:92/Ecg/WriteTicksBase";

// The monitor screen with fakes all round, on virtual time.
struct MonitorRig {
    explicit MonitorRig(double start = testStart)
        : runtime((useTestTimeZone(), start)), sensor(runtime.bluetoothQueue())
    {
    }

    VirtualRuntime runtime;
    FakeLog log;
    FakeMonitorView view;
    MemoryFiles files;
    MemoryFiles settingsFiles;
    SettingsStore settings{settingsFiles, log, "/config/settings.json"};
    ApplicationState appState;
    ScriptedSensor sensor;
    // When set before load, the monitor links to a sensor through this central instead of `sensor`.
    BleCentralFactory* centralFactory = nullptr;
    FakeHttp http;
    FakeReachability reachability;
    FakeLocation location;
    // When set before load, the monitor keeps the computer awake through these.
    KeepAwakePorts* keepAwake = nullptr;
    // The session holds the acquisition state and the signal path; the controller goes first.
    Acquisition acquisition;
    std::unique_ptr<MonitorSession> session;
    std::unique_ptr<ViewController> controller;
    // Off by default: most tests would only have to look past the version alert at load.
    bool versionAlert = false;

    ViewController& load()
    {
        const MonitorContext context{runtime.mainQueue(), runtime.bluetoothQueue(), runtime.timers(), runtime.clock(),
                                     log, view, files, settings, appState, &sensor, view, "/docs", centralFactory,
                                     MonitorNetwork{http, reachability, location, testCollectionUrl}, keepAwake};
        session = std::make_unique<MonitorSession>(context, acquisition);
        controller = std::make_unique<ViewController>(context, *session);
        if (!versionAlert)
            controller->dontShow();
        controller->viewDidLoad();
        runtime.runPending();
        return *controller;
    }

    // A packet whose 14 samples are base, base+1, ...; bytes 18 and 19 carry n.
    static std::vector<std::uint8_t> packet(int base, int n = 0)
    {
        return rampPacket(base, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8));
    }

    // Delivers `count` packets 0.112 s apart, running everything due in between. Packet i of the run
    // (counted across calls) has samples from 500 + i % 7 up.
    void stream(int count)
    {
        for (int i = 0; i < count; ++i, ++sent) {
            runtime.runFor(0.112);
            sensor.deliver("2A37", packet(500 + sent % 7, sent));
            runtime.runPending();
        }
    }
    int sent = 0;

    void press(void (ViewController::*action)())
    {
        runtime.mainQueue().async([this, action] { (controller.get()->*action)(); });
        runtime.runPending();
    }

    std::string file(const std::string& name) const
    {
        auto it = files.files.find("/docs/" + name);
        return it == files.files.end() ? std::string("<missing>") : it->second;
    }
};

} // namespace velorin
