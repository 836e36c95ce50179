// velorin: the desktop application. See docs/velorin.md for its manual.

#include "RecorderOptions.h"
#include "RecorderScript.h"
#include "QuitWatchdog.h"
#include "RunParts.h"
#include "ScriptPlayer.h"
#include "ScriptedReachability.h"
#include "VelorinVersion.h"
#include "WindowScript.h"
#include "app/SleepPreventer.h"
#include "app/TermsController.h"
#include "app/qt/LoginPresenter.h"
#include "app/qt/LogindInhibitor.h"
#include "app/qt/MainWindow.h"
#include "history/qt/HistoryViewerPage.h"
#include "history/qt/ViewerWebPage.h"
#include "app/qt/QtAlerts.h"
#include "app/qt/QtSilentSound.h"
#include "history/HistoryState.h"
#include "history/qt/HistoryPage.h"
#include "monitor/MonitorSession.h"
#include "monitor/ViewController.h"
#include "monitor/qt/MonitorWidget.h"
#include "monitor/qt/TraceWidget.h"
#include "net/Endpoints.h"
#include "net/qt/QtHttpClient.h"
#include "net/qt/QtLocation.h"
#include "net/qt/QtReachability.h"
#include "platform/ApplicationState.h"
#include "platform/BackgroundQueue.h"
#include "platform/DirectoryLock.h"
#include "platform/EscapedText.h"
#include "platform/HomeDirectory.h"
#include "platform/PosixFiles.h"
#include "platform/StopSignals.h"
#include "platform/StreamLog.h"
#include "platform/qt/QtRuntime.h"
#include "sensor/sim/ReplayFile.h"
#include "settings/SettingsStore.h"
#include "settings/qt/QtImageDecoder.h"
#include "settings/qt/SettingsMenuPage.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTabWidget>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <unistd.h>

using namespace velorin;

namespace {

constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

const char* const usage =
    "usage: velorin [--documents DIR] [--settings FILE] [--sensor sim|replay:FILE|ble]\n"
    "               [--sim-bpm N] [--sim-sensors N] [--pin PIN] [--duration SECONDS] [--script FILE]\n"
    "               [--login-endpoint URL] [--collection-endpoint URL] [-v] [--help] [--version]\n"
    "The sensor is found over Bluetooth unless --sensor says otherwise. --script plays the recorder's\n"
    "script commands on the window. With VELORIN_SCREENSHOT=FILE the window is saved to FILE as PNG\n"
    "when the application ends.\n";

const char* const help =
    "\n"
    "  --documents DIR     where recordings go (default: $XDG_DOCUMENTS_DIR/Velorin, else ~/Documents/Velorin)\n"
    "  --settings FILE     the settings store (default: ~/.config/Velorin/settings.json)\n"
    "  --sensor KIND       ble: a real sensor over Bluetooth LE (default); sim: simulated sensors;\n"
    "                      replay:FILE: a packet log or .s2 stream played back\n"
    "  --sim-bpm N         heart rate of the simulated sensors, 30 to 250 (default: 72)\n"
    "  --sim-sensors N     how many simulated sensors advertise, 0 to 16 (default: 1)\n"
    "  --duration SECONDS  quit after that many seconds\n"
    "  --script FILE       timed commands, one a line: SECONDS COMMAND (start, stop, mark, screenshot FILE, ...)\n"
    "  -v, --verbose       also log every value update\n"
    "  --login-endpoint URL\n"
    "                      the login service's http:// or https:// URL in place of the built-in one\n"
    "  --collection-endpoint URL\n"
    "                      where uploads and events go while no server address is stored\n"
    "  -h, --help          print this help and exit\n"
    "  --version           print the version and exit\n";

int fail(int status, const std::string& message)
{
    std::fprintf(stderr, "velorin: %s\n", escapeControl(message).c_str());
    return status;
}

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? value : "";
}

// The recorder's options, less those of a headless run; the GUI looks for a real sensor by default.
OptionsResult parseOptions(const std::vector<std::string>& args)
{
    for (const std::string& arg : args)
        if (arg == "--clock" || arg == "--start" || arg == "--accept-terms")
            return {std::nullopt, arg + " is an option of velorin-record only"};
    OptionsResult parsed = parseRecorderOptions(args, homeDirectory(), xdgDocumentsDirectory());
    if (parsed.options && std::find(args.begin(), args.end(), "--sensor") == args.end())
        parsed.options->sensor = RecorderOptions::Sensor::ble;
    return parsed;
}

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    installStopSignals();
    const OptionsResult parsed = parseOptions({argv + 1, argv + argc});
    if (!parsed.options) {
        std::fprintf(stderr, "velorin: %s\n%s", escapeControl(parsed.error).c_str(), usage);
        return exitUsage;
    }
    const RecorderOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(usage, stdout);
        std::fputs(help, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("velorin %s\n", velorinVersion);
        return 0;
    }
    if (options.documents.empty() || options.settings.empty())
        return fail(exitFailure, "there is no home directory for the default places: give --settings FILE and "
                                 "--documents DIR");

    PosixFiles files;
    std::vector<ScriptCommand> script;
    if (!options.scriptFile.empty()) {
        ScriptResult read = readRecorderScript(files, options.scriptFile,
                                               options.sensor == RecorderOptions::Sensor::sim, true);
        if (!read.ok())
            return fail(exitUsage, read.error);
        script = std::move(read.commands);
    }
    if (options.sensor == RecorderOptions::Sensor::replay)
        if (const auto problem = checkReplay(files, options.replayFile, [] { return false; }))
            return fail(exitUsage, describe(*problem));

    StreamLog log(stderr);
    log.setVerbose(options.verbose);
    SettingsStore settings(files, log, options.settings);
    if (!settings.usable())
        return fail(exitFailure, settings.problem());
    std::string documentsProblem;
    const std::unique_ptr<DirectoryLock> lock = lockDocuments(files, log, options.documents, documentsProblem);
    if (!lock)
        return fail(exitFailure, documentsProblem);

    ViewerWebPage::prepareApplication();
    QApplication app(argc, argv);
    QtRuntime runtime;
    // Before the client, so that at the end the client goes first: a login still waiting then ends
    // with an error at once instead of holding the exit until its time-out.
    BackgroundQueue loginQueue;
    QtHttpClient http;
    QtReachability systemReachability;
    ScriptedReachability reachability(systemReachability);
    QtLocation location;
    QtSilentSound silentSound(QStringLiteral(":/silence.wav"));
    LogindInhibitor inhibitor;
    KeepAwakePorts keepAwake{silentSound, inhibitor};
    const SensorParts sensor = makeSensorParts(
        options, RecorderPorts{runtime.mainQueue(), runtime.bluetoothQueue(), runtime.timers(), runtime.clock()}, files,
        log, {});
    ApplicationState appState;
    appState.set(AppState::Inactive); // until the window shows

    QtImageDecoder logoImages;
    auto* monitor = new MonitorWidget;
    const bool simulated = options.sensor != RecorderOptions::Sensor::ble;
    // The catalogue's choice outlives each of its showings, for as long as the application runs.
    HistoryState historyState;
    MainWindow window(TermsController(settings, runtime.clock()), monitor, &appState, MainWindow::titleFor(simulated));
    QtAlerts alerts(&window);
    monitor->onSelectMonitorTab([&window] { window.tabs()->setCurrentIndex(0); });
    monitor->setNoticeTimers(runtime.timers());
    LoginPresenter login(window, {runtime.mainQueue(), loginQueue, http, settings, alerts, log,
                                  options.loginEndpoint.value_or(Endpoints::builtIn().login)});
    login.onLoggedIn([monitor](const std::string& user) {
        if (QWidget* button = monitor->findChild<QWidget*>(QStringLiteral("backToLogin")))
            button->setToolTip(QObject::tr("Logged in as %1").arg(QString::fromStdString(user)));
    });
    // Every screen that leads back to the login calls this one.
    const std::function<void()> presentLogin = [&login] { login.present(); };
    monitor->onPresentLogin(presentLogin);

    // Declared after the window and the alerts, so that they go before them; the controller before
    // the session behind it.
    Acquisition acquisition;
    std::unique_ptr<MonitorSession> session;
    std::unique_ptr<ViewController> controller;
    std::unique_ptr<ScriptPlayer> player;
    WindowScript windowScript(window, *monitor, files);
    // The settings reach the monitor through its controller, which exists once the tab bar shows.
    SettingsNavigation settingsNavigation{
        [&controller] {
            if (controller)
                controller->passwordSet();
        },
        [&controller, &window] {
            if (controller)
                controller->currentTabIndex();
            else
                window.tabs()->setCurrentIndex(0);
        },
        presentLogin,
        // As closing the window: during a recording the user is asked first; the event loop then ends
        // and the open recording is flushed as on every other quit.
        [&window] { window.close(); }};
    window.setSettingsPage(new SettingsMenuPage(
        SettingsContext{settings, log, runtime.mainQueue(), alerts, files, logoImages, options.documents,
                        std::move(settingsNavigation)},
        [&window](QWidget* page) { window.pushPage(page); }, [&window] { window.popPage(); }));
    window.setHistoryPage(new HistoryPage(HistoryContext{
        historyState, files, log, options.documents,
        HistoryNavigation{[&](const std::string& name) {
                              HistoryViewerPage::open(
                                  HistoryScreens{files, settings, log, runtime.timers(), options.documents,
                                                 [&window](QWidget* page) { window.pushPage(page); },
                                                 [&window] { window.popPage(); }},
                                  name);
                          },
                          [&window] { window.tabs()->setCurrentIndex(0); }}}));
    window.setRecordingQuery([&controller] { return controller && controller->isRecording(); });
    QObject::connect(&window, &MainWindow::declined, &app, [&app] { app.exit(0); });
    QuitWatchdog watchdog(log);
    QObject::connect(&window, &MainWindow::tabBarShown, &app, [&](bool afterAcceptance) {
        const MonitorContext context{
            runtime.mainQueue(), runtime.bluetoothQueue(), runtime.timers(), runtime.clock(), log, alerts, files,
            settings, appState, sensor.replay.get(), *monitor, options.documents, sensor.central(),
            MonitorNetwork{http, reachability, location,
                           options.collectionEndpoint.value_or(Endpoints::builtIn().collection)},
            &keepAwake};
        session = std::make_unique<MonitorSession>(context, acquisition);
        controller = std::make_unique<ViewController>(context, *session);
        if (afterAcceptance)
            controller->dontShow();
        monitor->setController(controller.get());
        watchdog.watch(session.get());
        monitor->setTraceWidget(new TraceWidget(session->ecgView(), settings, runtime.timers()));
        controller->viewDidLoad();
        controller->viewDidLayoutSubviews();
        if (!script.empty()) {
            player = std::make_unique<ScriptPlayer>(
                ScriptPlayer::Parts{runtime.timers(), runtime.clock(), log, *controller, alerts, appState, settings,
                                    &reachability, sensor.simulated.get(), &windowScript},
                script, [&app] { app.exit(0); });
            player->start();
        }
    });

    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (stopSignalFd() >= 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(stopSignalFd(), QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &app, [&app] { app.exit(0); });
    }
    if (options.duration)
        // exit, never quit: quit closes the windows first, and the window would ask the user whether to
        // stop the recording; these ends were asked for already.
        runtime.timers().oneShot(*options.duration, [&app] { app.exit(0); });

    window.resize(1024, 600);
    window.show();
    window.route();
    app.setQuitOnLastWindowClosed(true);
    const int status = app.exec();
    watchdog.loopEnded();

    player.reset();
    // The last partial chunk goes to disk before anything else at the end can go wrong.
    if (session) {
        std::promise<void> flushed;
        session->flushOnQuit([&] { flushed.set_value(); });
        flushed.get_future().wait();
    }
    if (const std::string shot = environment("VELORIN_SCREENSHOT"); !shot.empty()) {
        std::string problem;
        if (!saveWindowPicture(window, files, shot, problem))
            log.line("Cannot save the screenshot " + shot + ": " + problem);
    }
    // The trace widget lets go of the renderer before the session that owns it goes.
    if (session) {
        monitor->setTraceWidget(new QWidget);
        waitForUnansweredRequests(*session, log);
    }
    runtime.shutdown();
    controller.reset();
    session.reset();
    return status;
}
