#include "app/qt/MainWindow.h"
#include "fakes/FakeLog.h"
#include "fakes/MemoryFiles.h"
#include "qt/QtTestSupport.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace velorin {
namespace {

QAbstractButton* questionButton(const MainWindow& window, const QString& text)
{
    for (auto* question : window.findChildren<QMessageBox*>())
        if (question->isVisible() && question->text() == "Stop recording and quit?")
            for (QAbstractButton* button : question->buttons())
                if (button->text() == text)
                    return button;
    return nullptr;
}

TEST(CloseConfirmation, WhileRecordingOnlyQuitClosesAndEndsTheEventLoop)
{
    MemoryFiles files;
    FakeLog log;
    SettingsStore settings{files, log, "/settings.json"};
    FixedClock clock;
    bool recording = false;
    MainWindow idle(TermsController(settings, clock), new QWidget, nullptr, MainWindow::titleFor(false));
    idle.setRecordingQuery([&recording] { return recording; });
    idle.show();
    EXPECT_TRUE(idle.close());
    EXPECT_EQ(idle.windowIcon().pixmap(256).size(), QSize(256, 256));

    recording = true;
    MainWindow window(TermsController(settings, clock), new QWidget, nullptr, MainWindow::titleFor(false));
    window.setRecordingQuery([&recording] { return recording; });
    window.show();
    EXPECT_FALSE(window.close());
    EXPECT_FALSE(window.close());
    EXPECT_EQ(window.findChildren<QMessageBox*>().size(), 1);
    // Cancel goes back to the recording; the question is asked again at the next close.
    ASSERT_NE(questionButton(window, "Cancel"), nullptr);
    questionButton(window, "Cancel")->click();
    EXPECT_TRUE(window.isVisible());

    window.showMinimized();
    window.close();
    EXPECT_FALSE(window.isMinimized());
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
