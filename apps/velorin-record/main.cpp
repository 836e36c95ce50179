// velorin-record: the headless recorder. See docs/velorin-record.md for its manual.

#include "LoginCommand.h"
#include "Recorder.h"
#include "RunParts.h"
#include "QuitWatchdog.h"
#include "RecorderOptions.h"
#include "RecorderScript.h"
#include "VelorinVersion.h"
#include "net/Endpoints.h"
#include "net/qt/QtHttpClient.h"
#include "net/qt/QtLocation.h"
#include "net/qt/QtReachability.h"
#include "platform/DirectoryLock.h"
#include "platform/EscapedText.h"
#include "platform/HomeDirectory.h"
#include "platform/LocalTime.h"
#include "platform/PosixFiles.h"
#include "platform/StandardStreams.h"
#include "platform/StopSignals.h"
#include "platform/StreamLog.h"
#include "platform/qt/QtRuntime.h"
#include "platform/virtual/VirtualRuntime.h"
#include "sensor/sim/ReplayFile.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <unistd.h>

using namespace velorin;

namespace {

constexpr int exitFailure = 1;
constexpr int exitUsage = 2;
constexpr int exitTerms = 3;
constexpr int exitNotSaved = 4;

std::atomic<bool> g_replayFailed{false}; // a replay found a problem while it played

void noteReplayFailed(const ReplayError&)
{
    g_replayFailed.store(true);
}

// Whether two paths name one file, links followed, also when it does not exist yet.
bool sameFile(const std::string& one, const std::string& other)
{
    std::error_code oneError, otherError, error;
    const auto a = std::filesystem::weakly_canonical(one, oneError);
    const auto b = std::filesystem::weakly_canonical(other, otherError);
    return (!oneError && !otherError && a == b) || std::filesystem::equivalent(one, other, error);
}

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "velorin-record: %s\n", escapeControl(message).c_str());
    return status;
}

double wallNow()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Everything of a run that does not depend on the clock kind.
struct Setup {
    RecorderOptions options;
    std::vector<ScriptCommand> script;
};

// Uploads and events go out through Qt's network stack; it needs the QCoreApplication to exist.
struct QtNetwork {
    QtHttpClient http;
    QtReachability reachability;
    QtLocation location;

    RecorderNetwork ports(const RecorderOptions& options)
    {
        return {http, reachability, location, options.collectionEndpoint.value_or(Endpoints::builtIn().collection)};
    }
};

// Data not saved outweighs a replay cut short by a problem in its file (the file changed as it played).
int endStatus(Recorder& recorder)
{
    if (recorder.session().recordingFailed())
        return exitNotSaved;
    return g_replayFailed.load() ? exitUsage : 0;
}

int runVirtual(const Setup& setup, Log& log, Files& files, SettingsStore& settings, int argc, char** argv)
{
    // No event loop runs on this thread: the network client runs its own.
    QCoreApplication app(argc, argv);
    QtNetwork network;
    VirtualRuntime runtime(setup.options.start.value_or(wallNow()));
    RecorderPorts ports{runtime.mainQueue(), runtime.bluetoothQueue(), runtime.timers(), runtime.clock()};
    const SensorParts sensor = makeSensorParts(setup.options, ports, files, log, noteReplayFailed);
    // Virtual output goes out in large blocks; nobody watches it live.
    Recorder recorder(ports, log, files, settings, sensor.handles(setup.options.pin), setup.options.documents, stdout, false,
                      network.ports(setup.options));
    bool quit = false;
    recorder.begin(setup.script, !setup.options.scriptFile.empty(), !setup.options.duration, [&] {
        quit = true;
        runtime.stop();
    });
    // Run in slices so that SIGINT and SIGTERM are noticed; a slice never ends inside an instant.
    constexpr Nanoseconds slice = std::chrono::seconds(60);
    std::optional<Nanoseconds> end = setup.options.duration;
    if (!end) {
        // Without a duration a virtual run still ends where time can no longer be kept: file stamps
        // have four-digit years, and the runtime counts at most 100 years.
        const Nanoseconds toLastStamp = fromSeconds(*parseLocalDateTime("9999-12-31T23:59:59") + 1.0 - runtime.now());
        // A millisecond short of the year 10000: far beyond the rounding of the clock's seconds there.
        end = std::min(toLastStamp - std::chrono::milliseconds(1), longestSpan);
    }
    while (!quit && !stopSignalled()) {
        const Nanoseconds left = *end - runtime.elapsedNs();
        if (left <= Nanoseconds{0}) {
            if (!setup.options.duration)
                log.line("The run ends at " + formatDateTime(runtime.now()) +
                         ": the recorder keeps time up to 9999-12-31 23:59:59 and for at most 100 years");
            break;
        }
        runtime.runFor(std::min(left, slice));
    }
    // The stop and the last flush are due now; the flush's upload is then among the open requests.
    bool flushed = false;
    recorder.flushOnQuit([&] { flushed = true; });
    while (!flushed)
        runtime.runPending();
    waitForUnansweredRequests(recorder.session(), log, [&] { runtime.runPending(); });
    recorder.finishOutput();
    return endStatus(recorder);
}

int runReal(const Setup& setup, Log& log, Files& files, SettingsStore& settings, int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QtNetwork network;
    QtRuntime runtime;
    RecorderPorts ports{runtime.mainQueue(), runtime.bluetoothQueue(), runtime.timers(), runtime.clock()};
    const SensorParts sensor = makeSensorParts(setup.options, ports, files, log, noteReplayFailed);
    Recorder recorder(ports, log, files, settings, sensor.handles(setup.options.pin), setup.options.documents, stdout, true,
                      network.ports(setup.options));
    recorder.begin(setup.script, !setup.options.scriptFile.empty(), !setup.options.duration, [&] { app.quit(); });

    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (stopSignalFd() >= 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(stopSignalFd(), QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &app, [&] { app.quit(); });
    }
    if (setup.options.duration)
        runtime.timers().oneShot(*setup.options.duration, [&] { app.quit(); });
    QuitWatchdog watchdog(log);
    watchdog.watch(&recorder.session());
    if (!stopSignalled())
        app.exec();
    watchdog.loopEnded();
    // Before the requests are waited for and the Bluetooth queue shuts down: the last flush may
    // start an upload.
    std::promise<void> flushed;
    recorder.flushOnQuit([&] { flushed.set_value(); });
    flushed.get_future().wait();
    waitForUnansweredRequests(recorder.session(), log, [] {});
    runtime.shutdown(); // let the Bluetooth queue finish the packet in hand
    recorder.finishOutput();
    return endStatus(recorder);
}

} // namespace

int main(int argc, char** argv)
{
    // A closed standard output must not end a recording: writes to it fail instead, and the
    // console view stops writing. A file-size limit likewise makes a write fail, not the process.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    openClosedStandardStreams();
    // Before anything is written, so that an early signal ends the run cleanly too.
    installStopSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args.front() == "login") {
        const LoginOptionsResult login = parseLoginOptions({args.begin() + 1, args.end()}, homeDirectory());
        if (!login.options) {
            std::fprintf(stderr, "velorin-record: %s\n%s", escapeControl(login.error).c_str(), recorderUsage);
            return exitUsage;
        }
        if (login.options->help) {
            std::fputs(recorderUsage, stdout);
            std::fputs(recorderHelp, stdout);
            return 0;
        }
        return runLoginCommand(*login.options, stopSignalFd(), argc, argv);
    }
    const OptionsResult parsed = parseRecorderOptions(args, homeDirectory(), xdgDocumentsDirectory());
    if (!parsed.options) {
        std::fprintf(stderr, "velorin-record: %s\n%s", escapeControl(parsed.error).c_str(), recorderUsage);
        return exitUsage;
    }
    Setup setup{*parsed.options, {}};
    const RecorderOptions& options = setup.options;
    if (options.help) {
        std::fputs(recorderUsage, stdout);
        std::fputs(recorderHelp, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("velorin-record %s\n", velorinVersion);
        return 0;
    }

    if (options.documents.empty() || options.settings.empty())
        return fail(exitFailure, "there is no home directory for the default places: give --settings FILE and "
                                 "--documents DIR");
    // The settings would be moved aside and written where another recorder holds its lock.
    if (sameFile(options.settings, options.documents + "/" + DirectoryLock::fileName))
        return fail(exitFailure, options.settings + " is the lock file of " + options.documents + ", not settings");

    PosixFiles files;
    // Everything the run reads is checked before anything is written.
    if (!options.scriptFile.empty()) {
        ScriptResult read = readRecorderScript(files, options.scriptFile,
                                               options.sensor == RecorderOptions::Sensor::sim, false);
        if (!read.ok())
            return fail(exitUsage, read.error);
        setup.script = std::move(read.commands);
    }
    if (options.sensor == RecorderOptions::Sensor::replay) {
        // A malformed replay stops the run before anything is written. The check reads the whole
        // file, so a signal is heeded while it runs.
        const auto problem = checkReplay(files, options.replayFile, [] { return stopSignalled(); });
        if (stopSignalled())
            return 0;
        if (problem)
            return fail(exitUsage, describe(*problem));
    }

    StreamLog log(stderr);
    log.setVerbose(options.verbose);
    SettingsStore settings(files, log, options.settings);
    if (!settings.usable())
        return fail(exitFailure, settings.problem());
    if (options.acceptTerms) {
        const double now = options.clock == RecorderOptions::ClockKind::virtualTime && options.start
                               ? *options.start
                               : wallNow();
        settings.setBool(keys::termsAccept, true);
        settings.set(keys::termsDate, SettingsStore::nearestStorableDate(now));
        if (!settings.flush())
            return fail(exitFailure, "cannot store the acceptance of the terms in " + options.settings);
    }
    if (!settings.boolean(keys::termsAccept) && !settings.boolean(keys::termsDecline))
        return fail(exitTerms, "the terms of use are not accepted yet; run with --accept-terms to accept them");

    std::string documentsProblem;
    const std::unique_ptr<DirectoryLock> lock = lockDocuments(files, log, options.documents, documentsProblem);
    if (!lock)
        return fail(exitFailure, documentsProblem);

    if (options.clock == RecorderOptions::ClockKind::virtualTime)
        return runVirtual(setup, log, files, settings, argc, argv);
    return runReal(setup, log, files, settings, argc, argv);
}
