#include "RunParts.h"

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/StopSignals.h"
#include "sensor/sim/ReplaySensor.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace velorin {

SensorParts makeSensorParts(const RecorderOptions& options, RecorderPorts ports, Files& files, Log& log,
                            std::function<void(const ReplayError&)> replayProblem)
{
    SensorParts parts;
    switch (options.sensor) {
    case RecorderOptions::Sensor::replay: {
        // Read again as it plays, one update at a time, after the check before the run.
        auto replay = std::make_unique<ReplaySensor>(ports.bluetoothQueue, ports.mainQueue, ports.timers, ports.clock,
                                                     replayOpener(files, options.replayFile));
        replay->onProblem([&log, replayProblem = std::move(replayProblem)](const ReplayError& error) {
            log.line("Replay ended early: " + describe(error));
            if (replayProblem)
                replayProblem(error);
        });
        parts.replay = std::move(replay);
        break;
    }
    case RecorderOptions::Sensor::sim: {
        SimulatedNimboOptions sim;
        sim.bpm = options.simBpm;
        sim.sensors = options.simSensors;
        parts.simulated = std::make_unique<SimulatedCentralFactory>(ports.timers, log, sim);
        break;
    }
    case RecorderOptions::Sensor::ble:
        parts.bluetooth = std::make_unique<QtBleCentralFactory>(log);
        break;
    }
    return parts;
}

std::unique_ptr<DirectoryLock> lockDocuments(Files& files, Log& log, const std::string& documents,
                                             std::string& problem)
{
    if (const FileResult made = files.createDirectories(documents); !made.ok) {
        problem = "cannot use the documents directory " + documents + ": " + made.error;
        return nullptr;
    }
    auto lock = std::make_unique<DirectoryLock>(documents);
    switch (lock->state()) {
    case DirectoryLock::State::busy:
        problem = documents + " is in use by another recorder (pid " + std::to_string(lock->holder()) + ")";
        return nullptr;
    case DirectoryLock::State::unavailable:
        problem = "cannot lock " + documents + " against a second recorder: " + lock->problem();
        return nullptr;
    case DirectoryLock::State::readOnly:
        log.line("The documents directory is not locked against a second recorder: " + lock->problem());
        break;
    case DirectoryLock::State::held:
        break;
    }
    for (const char* folder : {"Buffer", "EventBuffer"}) {
        const std::string path = documents + "/" + folder;
        const EntryKind kind = files.entryInfo(path).kind;
        if (kind != EntryKind::missing && kind != EntryKind::directory) {
            problem = "cannot use the documents directory " + documents + ": " + path + " is not a directory";
            return nullptr;
        }
    }
    return lock;
}

void waitForUnansweredRequests(const MonitorSession& monitor, Log& log, const std::function<void()>& step)
{
    using namespace std::chrono;
    if (monitor.unansweredRequests() == 0)
        return;
    // Asked to stop by a signal, the program ends within about two seconds: the uploads get one.
    bool signalled = stopSignalled();
    log.line("Waiting up to " + std::string(signalled ? "1" : "10") + " s for " +
             std::to_string(monitor.unansweredRequests()) + " unanswered requests");
    auto deadline = steady_clock::now() + (signalled ? seconds(1) : seconds(10));
    while (monitor.unansweredRequests() > 0 && steady_clock::now() < deadline) {
        if (!signalled && stopSignalled()) {
            signalled = true;
            deadline = std::min(deadline, steady_clock::now() + seconds(1));
        }
        if (step)
            step();
        std::this_thread::sleep_for(milliseconds(5));
    }
    if (const std::size_t left = monitor.unansweredRequests(); left > 0)
        log.line(std::to_string(left) + " requests were still unanswered when the run ended; they are kept for "
                                        "the next run");
}

} // namespace velorin
