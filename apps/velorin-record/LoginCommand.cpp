#include "LoginCommand.h"

#include "ConsoleLoginView.h"
#include "net/Endpoints.h"
#include "net/LoginViewController.h"
#include "net/qt/QtHttpClient.h"
#include "platform/BackgroundQueue.h"
#include "platform/EscapedText.h"
#include "platform/PosixFiles.h"
#include "platform/StreamLog.h"
#include "platform/qt/QtRuntime.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <memory>

namespace velorin {

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "velorin-record: %s\n", escapeControl(message).c_str());
    return 1;
}

} // namespace

int runLoginCommand(const LoginOptions& options, int signalFd, int argc, char** argv)
{
    if (options.settings.empty())
        return fail("there is no home directory for the default settings: give --settings FILE");
    PosixFiles files;
    StreamLog log(stderr);
    SettingsStore settings(files, log, options.settings);
    if (!settings.usable())
        return fail(settings.problem());

    QCoreApplication app(argc, argv);
    QtRuntime runtime;
    // Declared in this order so that, should a signal end the login while it waits, the client is
    // gone first (the wait ends with an error) and the background queue then finishes that login.
    BackgroundQueue background;
    QtHttpClient http;
    ConsoleLoginView view(stdout, options.user, options.password);
    LoginViewController controller({runtime.mainQueue(), background, http, settings, view, log, view,
                                    options.loginEndpoint.value_or(Endpoints::builtIn().login)});
    bool loggedIn = false;
    controller.onFinished([&](bool stored) {
        loggedIn = stored;
        app.quit();
    });

    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (signalFd >= 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(signalFd, QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &app, [&] { app.quit(); });
    }
    runtime.mainQueue().async([&] { controller.loginClicked(); });
    app.exec();
    return loggedIn ? 0 : 1;
}

} // namespace velorin
