#include "history/HistoryPDFController.h"

#include "history/HistoryPDFHeader.h"
#include "history/HistoryViewerFile.h"
#include "history/ScriptCall.h"
#include "platform/Log.h"
#include "settings/ReportLength.h"

namespace velorin {

HistoryPDFController::HistoryPDFController(HistoryPDFView& view, const SettingsStore& settings, Files& files, Log& log,
                                           std::string documentsDirectory, std::string path)
    : m_view(view), m_settings(settings), m_files(files), m_log(log), m_documents(std::move(documentsDirectory)),
      m_path(std::move(path))
{
}

int HistoryPDFController::reportSeconds(const SettingsStore& settings, const std::string& path)
{
    // A marked event is printed whole: its mark may lie anywhere in the file.
    if (path.ends_with(".event"))
        return 0;
    return reportLengthSeconds(settings);
}

void HistoryPDFController::viewDidLoad()
{
    m_view.loadPage();
    exportPdf();
}

void HistoryPDFController::webViewDidFinishLoad()
{
    m_view.askReadyState([this](const std::string& state) {
        if (state == "complete")
            feed();
    });
}

void HistoryPDFController::feed()
{
    std::string problem;
    const std::string text = historyfile::readChunkText(m_files, historyfile::join(m_documents, m_path), problem);
    if (!problem.empty())
        m_log.line("Report: " + m_path + ": " + problem);
    const HistoryPDFHeader header = reportHeader(m_settings, m_files, m_documents, m_path);
    m_view.evaluateScript(ScriptCall("setReportSeconds").number(reportSeconds(m_settings, m_path)).str());
    m_view.evaluateScript(ScriptCall("addData").text(text).text(historyfile::withoutExtension(m_path)).str());
    m_view.evaluateScript(ScriptCall("changeNameAndDate")
                              .text(header.name)
                              .text(header.dateTime)
                              .text(header.age)
                              .text(header.gender)
                              .text(header.weight)
                              .text(header.logo)
                              .str());
    m_fed = true;
    // The export asked for while the page was loading would print an empty page.
    if (m_exportWaiting) {
        m_exportWaiting = false;
        createPDF();
    }
}

void HistoryPDFController::barButtonBackPressed()
{
    m_view.close();
}

void HistoryPDFController::exportPdf()
{
    if (m_busy)
        return;
    if (!m_fed) {
        m_exportWaiting = true;
        return;
    }
    createPDF();
}

void HistoryPDFController::createPDF()
{
    m_busy = true;
    m_view.setBusy(true);
    m_view.evaluateScriptAndWait("changeWidth()", [this] {
        m_view.printPdf([this](const std::string& bytes) { pdfMade(bytes); });
    });
}

void HistoryPDFController::pdfMade(const std::string& bytes)
{
    m_view.setBusy(false);
    if (bytes.empty()) {
        m_busy = false;
        m_log.line("PDF couldnot be created");
        m_view.makeToast("The report could not be created.");
        m_view.evaluateScript(ScriptCall("returnWidth").number(m_view.viewWidth()).str());
        return;
    }
    m_view.share(bytes, historyfile::withoutExtension(m_path) + ".pdf", [this] {
        m_busy = false;
        m_view.evaluateScript(ScriptCall("returnWidth").number(m_view.viewWidth()).str());
    });
}

} // namespace velorin
