#include "net/Credentials.h"
#include "app/qt/LoginPage.h"
#include "app/qt/LoginPresenter.h"
#include "app/qt/MainWindow.h"
#include "app/qt/QtAlerts.h"
#include "fakes/MemoryFiles.h"
#include "monitor/qt/MonitorWidget.h"
#include "net/qt/QtHttpClient.h"
#include "platform/BackgroundQueue.h"
#include "platform/qt/QtRuntime.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include "qt/QtTestSupport.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

namespace velorin {
namespace {

// The log is written from the login's thread too.
class QuietLog : public Log {
public:
    void line(std::string_view) override {}
};

// A login service on 127.0.0.1 that holds its answer back until the test lets it go.
struct HeldLoginService : LoopbackServer {
    HeldLoginService()
    {
        (**this).Post("/api/login", [this](const httplib::Request& request, httplib::Response& response) {
            {
                std::lock_guard lock(mutex);
                received = request.get_param_value("Username") + "|" + request.get_param_value("Password");
            }
            holdBack();
            response.set_content(R"({"StatusMessage": "OK", "Id": 42, "Token": "t-1", "FileServers": ["f1"],
                                     "CollectionServer": "c1", "VUApiKey": "k1"})",
                                 "application/json");
        });
    }
    // The user name and password as received; empty until the login has come.
    std::string fields()
    {
        std::lock_guard lock(mutex);
        return received;
    }
    std::mutex mutex;
    std::string received;
};

struct App {
    HeldLoginService service;
    MemoryFiles files;
    QuietLog log;
    SettingsStore settings{files, log, "/settings.json"};
    QtRuntime runtime;
    BackgroundQueue background;
    QtHttpClient http;
    MainWindow window{TermsController(settings, runtime.clock()), new MonitorWidget, nullptr, "Velorin"};
    QtAlerts alerts{&window};
    LoginPresenter presenter{window,
                             {runtime.mainQueue(), background, http, settings, alerts, log, service.url("/api/login")}};

    App()
    {
        settings.setBool(keys::termsAccept, true);
        window.resize(800, 560);
        window.route();
        window.show();
    }

    // Opens the page, types and presses the login button, and waits for the service to be asked.
    LoginPage* logIn(const QString& user, const QString& password)
    {
        presenter.present();
        LoginPage* page = presenter.page();
        page->findChild<QLineEdit*>("username")->setText(user);
        page->findChild<QLineEdit*>("password")->setText(password);
        page->findChild<QPushButton*>("loginBtn")->click();
        EXPECT_TRUE(waitFor([this] { return !service.fields().empty(); }));
        return page;
    }
};

TEST(LoginPageTest, OnePageWhileTheServiceAnswersThenClosedWithTheTokenStored)
{
    App app;
    QPointer<LoginPage> page = app.logIn("nurse", "p&ss=1");
    app.presenter.present(); // a second request while it is up brings no second page
    ASSERT_EQ(app.presenter.page(), page.data());
    EXPECT_FALSE(app.window.showingTabs());

    app.service.release();
    ASSERT_TRUE(waitFor([&] { return page.isNull(); }));
    EXPECT_TRUE(app.window.showingTabs());
    EXPECT_EQ(app.service.fields(), "nurse|p&ss=1");
    EXPECT_EQ(app.settings.text(keys::token), "t-1");
    EXPECT_EQ(patientId(app.settings), "42");
    EXPECT_NE(app.files.files.at("/settings.json").find("t-1"), std::string::npos);
}

TEST(LoginPageTest, AnAnswerAfterThePageHasGoneTouchesNothing)
{
    App app;
    QPointer<LoginPage> page = app.logIn("nurse", "secret");
    app.window.popPage();
    ASSERT_TRUE(waitFor([&] { return page.isNull(); }));

    // The background queue is serial and the main queue keeps order: once this marker has run,
    // so has whatever the login left for the main queue.
    bool drained = false;
    app.background.async([&] { app.runtime.mainQueue().async([&] { drained = true; }); });
    app.service.release();
    ASSERT_TRUE(waitFor([&] { return drained; }));
    EXPECT_FALSE(app.settings.has(keys::token));
    EXPECT_EQ(app.alerts.openMessage(), "");
    // And the login can be brought up again.
    app.presenter.present();
    EXPECT_NE(app.presenter.page(), nullptr);
}

} // namespace
} // namespace velorin
