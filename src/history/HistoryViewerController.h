#pragma once

#include "history/HistoryViewerView.h"

#include <cstdint>
#include <string>

namespace velorin {

class Files;
class Log;

// Shows one stored file as a chart: the page gets the file's text and name through addData, and
// the step buttons move through the recordings, newest first.
class HistoryViewerController {
public:
    HistoryViewerController(HistoryViewerView& view, Files& files, Log& log, std::string documentsDirectory,
                            std::string path);

    void viewDidLoad();
    // The page finished loading: it is fed once its document is complete.
    void webViewDidFinishLoad();
    void barButtonBackPressed();
    void exportPdf();

    // Moves by step recordings; a positive step goes to older ones.
    void changePathIndex(std::int32_t step);
    void prevClick() { changePathIndex(-1); }
    void nextClick() { changePathIndex(1); }
    void prev2Click() { changePathIndex(-60); }
    void next2Click() { changePathIndex(60); }
    void prev3Click() { changePathIndex(-2880); }
    void next3Click() { changePathIndex(2880); }

    const std::string& path() const { return m_path; }
    // Only a recording has neighbours: an event file is not in the list the steps count in.
    bool canStep() const;

private:
    void feed();

    HistoryViewerView& m_view;
    Files& m_files;
    Log& m_log;
    const std::string m_documents;
    std::string m_path;
};

} // namespace velorin
