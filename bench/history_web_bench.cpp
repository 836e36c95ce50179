// Figures for the history screens' web pages: how long the chart page takes to draw a chunk after
// addData (measured inside the page), and how long a headless report PDF takes, the engine's
// start included. Run offscreen:
//   QT_QPA_PLATFORM=offscreen QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" velorin_history_web_bench
// With --shots DIR it also saves pictures of the viewer and the report screen as a user sees them.

#include "history/HistoryViewerFile.h"
#include "history/ScriptCall.h"
#include "history/qt/HistoryPDFPage.h"
#include "history/qt/HistoryViewerPage.h"
#include "history/qt/ReportPdfMaker.h"
#include "history/qt/ViewerWebPage.h"
#include "platform/Log.h"
#include "platform/PosixFiles.h"
#include "platform/qt/QtRuntime.h"
#include "sensor/sim/SyntheticPackets.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace velorin;

namespace {

class QuietLog : public Log {
public:
    void line(std::string_view) override {}
};

bool waitFor(const std::function<bool()>& condition, int milliseconds = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

QVariant evaluate(ViewerWebPage& page, const QString& script)
{
    std::optional<QVariant> result;
    page.evaluate(script, [&](const QVariant& value) { result = value; });
    waitFor([&] { return result.has_value(); });
    return result.value_or(QVariant());
}

std::string chunk(int samples)
{
    std::string text;
    for (int i = 0; i < samples; ++i)
        text += std::to_string(500 + (i % 125 == 40) * 400 + (i * 7) % 13) + " ";
    return text;
}

// What the simulated sensor records (P, QRS and T waves at 72 a minute), as chunk text.
std::string simulatedChunk(int samples)
{
    SyntheticPackets packets(72, 90, 7);
    std::string text;
    for (int i = 0; i < samples; i += 14)
        for (const std::int32_t sample : unpackSamples(packets.nextPacket()))
            text += std::to_string(sample) + " ";
    return text;
}

// Draw times of the chart page for one text, in ms as the page measured them.
std::vector<double> drawTimes(ViewerWebPage& page, const std::string& text, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        page.runJavaScript(QString::fromStdString(ScriptCall("addData").text(text).text("bench").str()));
        QVariant ms;
        waitFor([&] {
            ms = evaluate(page, QStringLiteral("window.lastDrawMs"));
            return !ms.isNull() && ms.isValid();
        });
        times.push_back(ms.toDouble());
    }
    std::sort(times.begin(), times.end());
    return times;
}

void report(const char* what, const std::vector<double>& times)
{
    std::printf("%-44s median %7.1f ms   max %7.1f ms   (%zu runs)\n", what, times[times.size() / 2], times.back(),
                times.size());
}

void settle(int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    waitFor([&] { return timer.elapsed() > milliseconds; });
}

// The screens as a user sees them, saved as PNG files in dir.
void screenshots(const std::filesystem::path& docs, PosixFiles& files, SettingsStore& settings, Log& log,
                 const QString& dir)
{
    QtRuntime runtime;
    QWidget* pushed = nullptr;
    HistoryScreens screens{files, settings, log, runtime.timers(), docs.string(),
                           [&](QWidget* page) { pushed = page; }, [] {}};
    const auto shoot = [&](QWidget* page, const QString& name) {
        page->resize(1000, 620);
        page->show();
        settle(1500);
        page->grab().save(dir + "/" + name);
    };
    std::ofstream(docs / "2015-03-07_143000.ecg") << "";
    std::ofstream(docs / "2015-03-07_142530 Walking palpitations .event") << simulatedChunk(3 * 3752);
    std::ofstream(docs / "2015-03-07_142530.ecg", std::ios::binary) << simulatedChunk(3752);
    {
        auto* viewer = HistoryViewerPage::open(screens, "2015-03-07_142530.ecg");
        shoot(viewer, "viewer-recording.png");
        viewer->controller().prevClick(); // the newer, empty file
        settle(500);
        viewer->grab().save(dir + "/viewer-empty.png");
        // Zoomed in with the wheel, as a user would.
        viewer->controller().nextClick();
        settle(500);
        viewer->webPage()->runJavaScript(QStringLiteral(
            "(function(){var o=document.querySelector('.u-over');for(var i=0;i<9;i++)"
            "o.dispatchEvent(new WheelEvent('wheel',{deltaY:-100,clientX:o.getBoundingClientRect().left+200,"
            "clientY:o.getBoundingClientRect().top+50,bubbles:true,cancelable:true}));})()"));
        settle(500);
        viewer->grab().save(dir + "/viewer-zoomed.png");
        delete viewer;
    }
    {
        auto* viewer = HistoryViewerPage::open(screens, "2015-03-07_142530 Walking palpitations .event");
        shoot(viewer, "viewer-event.png");
        delete viewer;
    }
    {
        settings.set(keys::Name, std::string("Ann Example"));
        settings.set(keys::Age, std::string("54"));
        settings.set(keys::Weight, std::string("68 kg"));
        settings.set(keys::Gender, std::int64_t{1});
        auto* report = new HistoryPDFPage(screens, "2015-03-07_142530.ecg");
        // The dialog that offers the PDF is window-modal; take its picture and close it.
        QTimer::singleShot(2500, [&] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    box->grab().save(dir + "/report-dialog.png");
                    box->done(QMessageBox::Close);
                }
            for (QMessageBox* box : report->findChildren<QMessageBox*>())
                if (box->isVisible()) {
                    box->grab().save(dir + "/report-dialog.png");
                    box->done(QMessageBox::Close);
                }
        });
        shoot(report, "report-screen.png");
        settle(1500);
        report->grab().save(dir + "/report-screen-after.png");
        delete report;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    ViewerWebPage::prepareApplication();
    QApplication app(argc, argv);

    const std::filesystem::path docs = std::filesystem::temp_directory_path() / "velorin-history-bench";
    std::filesystem::create_directories(docs);
    std::ofstream(docs / "2015-03-07_142530.ecg", std::ios::binary) << chunk(3752);
    PosixFiles files;
    QuietLog log;
    SettingsStore settings(files, log, (docs / "settings.json").string());

    QElapsedTimer pdfTimer;
    pdfTimer.start();
    const ReportPdfMaker::Result pdf = ReportPdfMaker::make(files, settings, log, docs.string(), "2015-03-07_142530.ecg");
    std::printf("%-44s %7lld ms (%lld ms since the process started), %lld bytes%s\n",
                "headless PDF of a 30 s chunk, engine start", static_cast<long long>(pdfTimer.elapsed()),
                static_cast<long long>(sinceStart.elapsed()), static_cast<long long>(pdf.pdf.size()),
                pdf.error.isEmpty() ? "" : (" ERROR " + pdf.error.toStdString()).c_str());
    pdfTimer.restart();
    const ReportPdfMaker::Result again = ReportPdfMaker::make(files, settings, log, docs.string(), "2015-03-07_142530.ecg");
    std::printf("%-44s %7lld ms, %lld bytes\n", "headless PDF of a 30 s chunk, engine running",
                static_cast<long long>(pdfTimer.elapsed()), static_cast<long long>(again.pdf.size()));

    QWebEngineView view;
    auto* page = new ViewerWebPage(&view);
    view.setPage(page);
    view.resize(1200, 600);
    view.show();
    bool loaded = false;
    QObject::connect(page, &QWebEnginePage::loadFinished, [&](bool) { loaded = true; });
    page->load(ViewerWebPage::pageUrl(QStringLiteral("example")));
    waitFor([&] { return loaded; });

    report("chart draw after addData, 30 s chunk", drawTimes(*page, chunk(3752), 20));
    report("chart draw after addData, 90 s event file", drawTimes(*page, chunk(3 * 3752), 10));
    // A 10 MB file reaches the page cut to the viewer's cap.
    std::string big = chunk(2'500'000);
    std::ofstream(docs / "big.ecg", std::ios::binary) << big;
    std::string problem;
    QElapsedTimer readTimer;
    readTimer.start();
    const std::string capped = historyfile::readChunkText(files, (docs / "big.ecg").string(), problem);
    std::printf("%-44s %7lld ms, %zu of %zu bytes\n", "reading a 10 MB file, capped",
                static_cast<long long>(readTimer.elapsed()), capped.size(), big.size());
    report("chart draw after addData, capped 10 MB file", drawTimes(*page, capped, 5));
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--shots")
            screenshots(docs, files, settings, log, QString::fromLocal8Bit(argv[i + 1]));
    std::filesystem::remove_all(docs);
    return 0;
}
