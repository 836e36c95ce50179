#include "app/qt/MainWindow.h"
#include "fakes/FakeLog.h"
#include "fakes/MemoryFiles.h"
#include "platform/Clock.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace velorin {
namespace {

class StillClock : public Clock {
public:
    double now() const override { return 1.7e9; }
    Nanoseconds monotonic() const override { return Nanoseconds{0}; }
};

QPushButton* questionButton(const MainWindow& window, const QString& text)
{
    auto* question = window.findChild<QMessageBox*>();
    if (!question || !question->isVisible())
        return nullptr;
    for (QAbstractButton* button : question->buttons())
        if (button->text() == text)
            return qobject_cast<QPushButton*>(button);
    return nullptr;
}

TEST(CloseConfirmation, WhileRecordingAsksAndOnlyQuitCloses)
{
    MemoryFiles files;
    FakeLog log;
    SettingsStore settings{files, log, "/settings.json"};
    StillClock clock;
    MainWindow window(TermsController(settings, clock), new QWidget, nullptr, MainWindow::titleFor(false));
    bool recording = true;
    window.setRecordingQuery([&recording] { return recording; });
    window.show();

    EXPECT_FALSE(window.close());
    ASSERT_NE(questionButton(window, "Cancel"), nullptr);
    EXPECT_EQ(window.findChild<QMessageBox*>()->text(), "Stop recording and quit?");
    // A second close while asking brings up the same question.
    EXPECT_FALSE(window.close());
    EXPECT_EQ(window.findChildren<QMessageBox*>().size(), 1);
    questionButton(window, "Cancel")->click();
    QApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(recording);

    // Quit closes the last window, which ends the event loop as any close does.
    window.close();
    QPushButton* quit = questionButton(window, "Quit");
    ASSERT_NE(quit, nullptr);
    QTimer::singleShot(0, quit, &QPushButton::click);
    QTimer stuck;
    stuck.callOnTimeout([] { QCoreApplication::exit(1); });
    stuck.start(10000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(window.isVisible());

    // Not recording: closes at once.
    MainWindow idle(TermsController(settings, clock), new QWidget, nullptr, MainWindow::titleFor(false));
    recording = false;
    idle.setRecordingQuery([&recording] { return recording; });
    idle.show();
    EXPECT_TRUE(idle.close());
    EXPECT_EQ(idle.findChild<QMessageBox*>(), nullptr);
    EXPECT_EQ(idle.windowIcon().pixmap(256).size(), QSize(256, 256));
}

} // namespace
} // namespace velorin
