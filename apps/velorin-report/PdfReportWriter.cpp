#include "PdfReportWriter.h"

#include "history/qt/ReportPdfMaker.h"
#include "history/qt/ViewerWebPage.h"
#include "platform/StreamLog.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QLoggingCategory>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace velorin {

namespace {

// A tool without a window: offscreen unless told otherwise, and without a GPU.
void prepareHeadlessEngine()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The engine's start-up report is no news to the user of a report tool. Set as rules rather
    // than in QT_LOGGING_RULES, which the logging registry has read by now; the user's own
    // QT_LOGGING_RULES still wins over them.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", ::geteuid() == 0 ? "--no-sandbox --disable-gpu" : "--disable-gpu");
}

} // namespace

int writePdfReport(Files& files, const PdfRequest& request, std::string& problem)
{
    prepareHeadlessEngine();
    ViewerWebPage::prepareApplication();
    static int argc = 1;
    static char name[] = "velorin-report";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    StreamLog log(stderr);
    SettingsStore settings(files, log, request.settings, SettingsStore::Access::readOnly);
    // The report reads the file where it lies; the logo beside it is the documents folder's when
    // the file lies there, as it does for every recording. A link the user names on the command
    // line is taken to where it leads, as the exports take it: the report's own reading follows
    // no link, since in the documents folder one may have been planted.
    const std::filesystem::path file(files.followLinks(request.file));
    const std::string directory = file.has_parent_path() ? file.parent_path().string() : std::string(".");
    const ReportPdfMaker::Result result =
        ReportPdfMaker::make(files, settings, log, directory, file.filename().string());
    if (result.pdf.isEmpty()) {
        problem = "cannot make the report of " + request.file + ": " + result.error.toStdString();
        return reportFailed;
    }
    const std::string_view pdf(result.pdf.constData(), static_cast<std::size_t>(result.pdf.size()));
    if (std::string why; !writeOutput(files, request.out, [&](const auto& sink) { return sink(pdf); }, why)) {
        problem = "cannot write " + request.out + ": " + why;
        return reportFailed;
    }
    return reportDone;
}

} // namespace velorin
