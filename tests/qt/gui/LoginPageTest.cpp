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

#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <httplib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace velorin {
namespace {

using namespace std::chrono_literals;

// The log is written from the login's thread too.
class QuietLog : public Log {
public:
    void line(std::string_view) override {}
};

// A login service on 127.0.0.1 that holds its answer back until the test lets it go.
class HeldLoginService {
public:
    HeldLoginService()
    {
        m_server.Post("/api/login", [this](const httplib::Request& request, httplib::Response& response) {
            std::unique_lock lock(m_mutex);
            m_fields = request.get_param_value("Username") + "|" + request.get_param_value("Password");
            m_wake.wait_for(lock, 20s, [this] { return m_released; });
            response.set_content(R"({"StatusMessage": "OK", "Id": 42, "Token": "t-1", "FileServers": ["f1"],
                                     "CollectionServer": "c1", "VUApiKey": "k1"})",
                                 "application/json");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        // A stop() that comes before the server listens is lost, and the join would wait forever.
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!m_server.is_running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
    }
    ~HeldLoginService()
    {
        release();
        m_server.stop();
        m_thread.join();
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/api/login"; }
    // The user name and password as received; empty until the login has come.
    std::string fields()
    {
        std::lock_guard lock(m_mutex);
        return m_fields;
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_wake.notify_all();
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_released = false;
    std::string m_fields;
    std::thread m_thread;
};

// Spins the event loop, deferred deletes included, until done or 10 s have passed.
bool waitFor(const std::function<bool()>& done)
{
    QTimer tick;
    tick.start(10);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

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
    LoginPresenter presenter{window, {runtime.mainQueue(), background, http, settings, alerts, log, service.url()}};

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

TEST(LoginPageTest, CoveredWhileTheServiceAnswersThenClosedWithTheTokenStored)
{
    App app;
    QPointer<LoginPage> page = app.logIn("nurse", "p&ss=1");
    app.presenter.present(); // a second request while it is up brings no second page
    ASSERT_EQ(app.presenter.page(), page.data());
    EXPECT_FALSE(app.window.showingTabs());

    const QWidget* overlay = page->findChild<QWidget*>("progressOverlay");
    ASSERT_TRUE(overlay && overlay->isVisible());
    EXPECT_EQ(overlay->geometry(), page->rect());
    // Nothing beneath can be pressed meanwhile.
    const auto* noAccount = page->findChild<QPushButton*>("dontHaveAccount");
    const QWidget* hit = page->childAt(noAccount->mapTo(page.data(), noAccount->rect().center()));
    EXPECT_TRUE(hit == overlay || overlay->isAncestorOf(hit));

    app.service.release();
    ASSERT_TRUE(waitFor([&] { return page.isNull(); }));
    EXPECT_TRUE(app.window.showingTabs());
    EXPECT_EQ(app.service.fields(), "nurse|p&ss=1");
    EXPECT_EQ(app.settings.text(keys::token), "t-1");
    EXPECT_EQ(app.settings.patientId(), "42");
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
