// Figures for the history screens' web pages: how long the chart page takes to draw a chunk after
// addData (measured inside the page), and how long a headless report PDF takes, the engine's
// start included. Run offscreen:
//   QT_QPA_PLATFORM=offscreen QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox --disable-gpu" velorin_history_web_bench

#include "history/HistoryViewerFile.h"
#include "history/ScriptCall.h"
#include "history/qt/ReportPdfMaker.h"
#include "history/qt/ViewerWebPage.h"
#include "platform/Log.h"
#include "platform/PosixFiles.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QElapsedTimer>
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
    std::filesystem::remove_all(docs);
    return 0;
}
