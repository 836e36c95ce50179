#pragma once

#include "Recorder.h"
#include "platform/DirectoryLock.h"
#include "sensor/SensorSource.h"
#include "sensor/qt/QtBleCentralFactory.h"
#include "sensor/sim/ReplayFile.h"
#include "sensor/sim/SimulatedCentralFactory.h"

#include <functional>
#include <memory>

namespace velorin {

class Files;
class Log;

// What the recorder and the window share around a run.

// The sensor of a run: a replay feeding intake, or a central for the monitor's sensor link.
struct SensorParts {
    std::unique_ptr<SensorSource> replay;
    std::unique_ptr<SimulatedCentralFactory> simulated;
    std::unique_ptr<QtBleCentralFactory> bluetooth;

    BleCentralFactory* central() const
    {
        return simulated ? static_cast<BleCentralFactory*>(simulated.get()) : bluetooth.get();
    }
    RecorderSensor handles(const std::string& pin) const { return {replay.get(), central(), simulated.get(), pin}; }
};

// replayProblem is called when a replay ends early because its file turned out malformed as it played.
SensorParts makeSensorParts(const RecorderOptions& options, RecorderPorts ports, Files& files, Log& log,
                            std::function<void(const ReplayError&)> replayProblem);

// Creates the documents directory and locks it against a second run; null, with the reason in
// `problem`, when a run cannot use it. A read-only directory is used unlocked, with a log line.
// Something other than a folder under Buffer or EventBuffer is refused: uploads and events kept
// there would be lost without a word.
std::unique_ptr<DirectoryLock> lockDocuments(Files& files, Log& log, const std::string& documents,
                                             std::string& problem);

// Requests still unanswered when the run ends get up to 10 s; `step` keeps their follow-up work
// (the next request, the removal of a sent file) moving meanwhile. What is still unanswered then
// is kept in the Buffer directories when the monitor closes.
void waitForUnansweredRequests(const MonitorSession& monitor, Log& log, const std::function<void()>& step = {});

} // namespace velorin
