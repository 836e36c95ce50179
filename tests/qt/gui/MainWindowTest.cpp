#include "app/qt/MainWindow.h"
#include "app/qt/QtAlerts.h"
#include "fakes/FakeLog.h"
#include "fakes/MemoryFiles.h"
#include "monitor/qt/MonitorWidget.h"
#include "platform/ApplicationState.h"
#include "qt/QtTestSupport.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace velorin {
namespace {

struct Window {
    MemoryFiles files;
    FakeLog log;
    SettingsStore settings{files, log, "/settings.json"};
    FixedClock clock;
    ApplicationState appState;

    std::unique_ptr<MainWindow> open()
    {
        auto window = std::make_unique<MainWindow>(TermsController(settings, clock), new MonitorWidget, &appState,
                                                   MainWindow::titleFor(true));
        window->route();
        return window;
    }
};

QAbstractButton* questionButton(const MainWindow& window, const QString& text)
{
    for (auto* question : window.findChildren<QMessageBox*>())
        if (question->isVisible() && question->text() == "Stop recording and quit?")
            for (QAbstractButton* button : question->buttons())
                if (button->text() == text)
                    return button;
    return nullptr;
}

TEST(MainWindowTest, TermsUntilAcceptedThenTheTabBarWithTheMonitorFirst)
{
    Window w;
    {
        auto window = w.open();
        ASSERT_TRUE(window->showingTerms());
        window->findChild<QPushButton*>("decline")->click();
        EXPECT_FALSE(w.settings.has(keys::termsAccept));
    }
    auto window = w.open();
    ASSERT_TRUE(window->showingTerms());
    window->findChild<QPushButton*>("accept")->click();
    EXPECT_TRUE(window->showingTabs());
    EXPECT_TRUE(w.settings.boolean(keys::termsAccept));
    EXPECT_TRUE(w.settings.date(keys::termsDate).has_value());
    EXPECT_NE(qobject_cast<MonitorWidget*>(window->tabs()->widget(0)), nullptr);

    // Later starts go straight to the tab bar, and so does one after a decline by an older release.
    auto again = w.open();
    EXPECT_TRUE(again->showingTabs());
    w.settings.remove(keys::termsAccept);
    w.settings.setBool(keys::termsDecline, true);
    EXPECT_TRUE(w.open()->showingTabs());
}

TEST(MainWindowTest, MinimizedIsBackgroundShownIsActive)
{
    Window w;
    auto window = w.open();
    window->show();
    EXPECT_EQ(w.appState.get(), AppState::Active);
    window->setWindowState(Qt::WindowMinimized);
    EXPECT_EQ(w.appState.get(), AppState::Background);
    window->setWindowState(Qt::WindowNoState);
    EXPECT_EQ(w.appState.get(), AppState::Active);
    window->hide();
    EXPECT_EQ(w.appState.get(), AppState::Background);
}

TEST(MainWindowTest, AlertsAnswerOnceWithTheButtonAndTheText)
{
    QWidget parent;
    QtAlerts alerts(&parent);
    std::vector<std::pair<int, std::string>> answers;
    alerts.show({"Unlock visualisation", "Write your passcode!", "Cancel", {"OK"}, true},
                [&](int button, const std::string& text) { answers.emplace_back(button, text); });
    EXPECT_TRUE(alerts.press(1, "1234"));
    EXPECT_FALSE(alerts.press(1, "1234"));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers.front(), std::make_pair(1, std::string("1234")));
}

// Closing while recording asks first; only Quit closes, and it ends the event loop.
TEST(MainWindowTest, WhileRecordingOnlyQuitClosesAndEndsTheEventLoop)
{
    Window w;
    bool recording = false;
    MainWindow idle(TermsController(w.settings, w.clock), new QWidget, nullptr, MainWindow::titleFor(false));
    idle.setRecordingQuery([&recording] { return recording; });
    idle.show();
    EXPECT_TRUE(idle.close());

    recording = true;
    MainWindow window(TermsController(w.settings, w.clock), new QWidget, nullptr, MainWindow::titleFor(false));
    window.setRecordingQuery([&recording] { return recording; });
    window.show();
    EXPECT_FALSE(window.close());
    EXPECT_FALSE(window.close());
    // Cancel goes back to the recording; the question is asked again at the next close.
    ASSERT_NE(questionButton(window, "Cancel"), nullptr);
    questionButton(window, "Cancel")->click();
    EXPECT_TRUE(window.isVisible());

    window.close();
    ASSERT_NE(questionButton(window, "Quit"), nullptr);
    QTimer::singleShot(0, questionButton(window, "Quit"), &QAbstractButton::click);
    QTimer stuck;
    stuck.callOnTimeout([] { QCoreApplication::exit(1); });
    stuck.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(window.isVisible());
}

} // namespace
} // namespace velorin
