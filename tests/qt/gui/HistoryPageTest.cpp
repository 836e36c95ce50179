#include "history/qt/HistoryPage.h"
#include "app/qt/MainWindow.h"
#include "fakes/FakeLog.h"
#include "fakes/MemoryFiles.h"
#include "monitor/qt/MonitorWidget.h"
#include "platform/LocalTime.h"
#include "qt/QtTestSupport.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QListView>
#include <QListWidget>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace velorin {
namespace {

TEST(HistoryPageTest, ShowsTheLatestDayNarrowsByHourAndOpensARow)
{
    MemoryFiles files;
    FakeLog log;
    files.directories.insert("/docs");
    const auto add = [&](const std::string& name, const char* created) {
        files.files["/docs/" + name] = "";
        files.creationDates["/docs/" + name] = *parseLocalDateTime(created);
    };
    for (int minute = 0; minute < 60; minute += 10)
        for (int hour : {8, 9, 14}) {
            char stamp[32], local[32];
            std::snprintf(stamp, sizeof stamp, "2025-05-03_%02d%02d00.ecg", hour, minute);
            std::snprintf(local, sizeof local, "2025-05-03T%02d:%02d:00", hour, minute);
            add(stamp, local);
        }
    add("bad\n\xFFname.ecg", "2025-05-03T14:59:00");
    add("2025-05-03_140000.event", "2025-05-03T14:00:00");

    SettingsStore settings(files, log, "/settings.json");
    settings.setBool(keys::termsAccept, true);
    FixedClock clock;
    MainWindow window(TermsController(settings, clock), new MonitorWidget, nullptr, MainWindow::titleFor(true));
    HistoryState state;
    std::vector<std::string> opened;
    auto* page = new HistoryPage(HistoryContext{
        state,
        files,
        log,
        "/docs",
        {[&](const std::string& name) { opened.push_back(name); }, [&] { window.tabs()->setCurrentIndex(0); }}});
    window.setHistoryPage(page);
    window.resize(1024, 600);
    window.show();
    window.route();
    window.tabs()->setCurrentIndex(1);
    ASSERT_EQ(window.tabs()->currentWidget(), page);

    QAbstractItemModel* table = page->table()->model();
    EXPECT_EQ(table->rowCount(), 19);
    // The odd name shows escaped, never as raw bytes.
    EXPECT_EQ(table->index(0, 0).data().toString(), QStringLiteral("bad\\x0A\\xFFname.ecg"));

    page->pickerColumn(2)->setCurrentRow(2); // 8 o'clock
    ASSERT_TRUE(waitFor([&] { return table->rowCount() == 6; }));
    EXPECT_EQ(table->index(0, 0).data().toString(), QStringLiteral("2025-05-03_085000.ecg"));
    screenshot(window, "history.png");

    page->table()->clicked(table->index(1, 0));
    EXPECT_EQ(opened, std::vector<std::string>{"2025-05-03_084000.ecg"});
}

} // namespace
} // namespace velorin
