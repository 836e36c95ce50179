#pragma once

#include "history/HistoryPDFView.h"

#include <string>

namespace velorin {

class Files;
class Log;
class SettingsStore;

// The report screen: the file's chart with the patient's header on a second page, printed to PDF.
class HistoryPDFController {
public:
    HistoryPDFController(HistoryPDFView& view, const SettingsStore& settings, Files& files, Log& log,
                         std::string documentsDirectory, std::string path);

    // Loads the page and asks for one export, made once the page has its data.
    void viewDidLoad();
    void webViewDidFinishLoad();
    void barButtonBackPressed();
    // Ignored while an export is being made; deferred until the page has been fed.
    void exportPdf();

    const std::string& path() const { return m_path; }
    bool busy() const { return m_busy; }
    // The seconds of the file the report shows, from the setup screen's report length; 0 for all,
    // always for an event file.
    static int reportSeconds(const SettingsStore& settings, const std::string& path);

private:
    void feed();
    void createPDF();
    void pdfMade(const std::string& bytes);

    HistoryPDFView& m_view;
    const SettingsStore& m_settings;
    Files& m_files;
    Log& m_log;
    const std::string m_documents;
    const std::string m_path;
    bool m_fed = false;
    bool m_exportWaiting = false;
    bool m_busy = false;
};

} // namespace velorin
