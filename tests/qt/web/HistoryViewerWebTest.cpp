#include "fakes/FakeLog.h"
#include "fakes/TempDir.h"
#include "history/ScriptCall.h"
#include "history/qt/HistoryPDFPage.h"
#include "history/qt/HistoryViewerPage.h"
#include "history/qt/ReportPdfMaker.h"
#include "history/qt/ViewerWebPage.h"
#include "platform/PosixFiles.h"
#include "platform/qt/QtRuntime.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QRegularExpression>
#include <QVariant>
#include <QWebEngineView>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

namespace velorin {
namespace {

// Spins the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int milliseconds = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// The script's result, evaluated in the page and waited for.
QVariant evaluate(ViewerWebPage& page, const QString& script)
{
    std::optional<QVariant> result;
    page.evaluate(script, [&](const QVariant& value) { result = value; });
    EXPECT_TRUE(waitFor([&] { return result.has_value(); })) << script.toStdString();
    return result.value_or(QVariant());
}

// A 30-second chunk: a beat a second on a flat line, as chunk text.
std::string chunkText(int seconds = 30)
{
    std::string text;
    for (int i = 0; i < seconds * 125; ++i) {
        const int inBeat = i % 125;
        text += std::to_string(inBeat == 40 ? 900 : inBeat == 43 ? 300 : 500 + (inBeat > 60 && inBeat < 80) * 40) + " ";
    }
    return text;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

struct Screens {
    TempDir docs{"velorin-viewer"};
    PosixFiles files;
    FakeLog log;
    SettingsStore settings{files, log, docs.path() + "/settings.json"};
    QtRuntime runtime;
    QWidget* shown = nullptr;

    HistoryScreens screens()
    {
        return {files, settings, log, runtime.timers(), docs.path(), [this](QWidget* page) { shown = page; }, [] {}};
    }
};

TEST(HistoryViewerWebTest, HostileNamesShowAsTextAndTheChartIsDrawn)
{
    Screens s;
    // A file name holds anything but "/" and NUL.
    const std::string hostile = "2024-05-01_120000'); document.title='x'; ('\\";
    writeFile(s.docs.path() + "/" + hostile + ".ecg", chunkText());
    auto* page = HistoryViewerPage::open(s.screens(), hostile + ".ecg");
    ASSERT_EQ(s.shown, page);
    page->resize(1000, 600);
    page->show();
    ViewerWebPage& web = *page->webPage();
    ASSERT_TRUE(waitFor([&] { return evaluate(web, "document.querySelector('.uplot canvas') !== null").toBool(); }));
    EXPECT_EQ(evaluate(web, "document.title").toString(), "Recording");
    EXPECT_EQ(evaluate(web, "document.getElementById('name').textContent").toString().toStdString(), hostile);

    // The rest of the dangers, straight through the script builder; each call replaces the chart.
    const std::string worse = "a\\b\n</script><script>document.title='y'</script>\xE2\x80\xA8";
    web.runJavaScript(QString::fromStdString(ScriptCall("addData").text("1 x 2 \xFF 3 ").text(worse).str()));
    ASSERT_TRUE(waitFor([&] { return evaluate(web, "document.getElementById('name').textContent").toString() ==
                                     QString::fromStdString(worse); }));
    EXPECT_EQ(evaluate(web, "document.title").toString(), "Recording");
    delete page;
}

TEST(HistoryViewerWebTest, TheReportIsAnA4PdfWithEveryPage)
{
    Screens s;
    writeFile(s.docs.path() + "/2015-03-07_142530 Walking  .event", chunkText(90));
    s.settings.set(keys::Name, std::string("Ann O'Neil </b>"));
    QImage logo(120, 40, QImage::Format_RGB32);
    logo.fill(Qt::darkCyan);
    ASSERT_TRUE(logo.save(QString::fromStdString(s.docs.path() + "/latest_logo.png")));

    const ReportPdfMaker::Result made =
        ReportPdfMaker::make(s.files, s.settings, s.log, s.docs.path(), "2015-03-07_142530 Walking  .event");
    ASSERT_TRUE(made.error.isEmpty()) << made.error.toStdString();
    ASSERT_TRUE(made.pdf.startsWith("%PDF"));
    static const QRegularExpression mediaBox(QStringLiteral("/MediaBox\\s*\\[\\s*0\\s+0\\s+([0-9.]+)\\s+([0-9.]+)\\s*\\]"));
    int pages = 0;
    for (auto it = mediaBox.globalMatch(QString::fromLatin1(made.pdf)); it.hasNext(); ++pages) {
        const auto match = it.next();
        EXPECT_EQ(std::lround(match.captured(1).toDouble()), 595);
        EXPECT_EQ(std::lround(match.captured(2).toDouble()), 842);
    }
    EXPECT_GE(pages, 2); // 90 seconds take two pages
    // The header's values, where the text can be taken out of the PDF.
    if (const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext")); !pdftotext.isEmpty()) {
        QProcess extract;
        extract.start(pdftotext, {QStringLiteral("-"), QStringLiteral("-")});
        extract.write(made.pdf);
        extract.closeWriteChannel();
        ASSERT_TRUE(extract.waitForFinished(20000));
        const QString text = QString::fromUtf8(extract.readAllStandardOutput());
        EXPECT_TRUE(text.contains(QStringLiteral("Ann O'Neil </b>"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("2015.03.07 14:25:30 Walking"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Male"))) << text.toStdString();

    }
}

} // namespace
} // namespace velorin
