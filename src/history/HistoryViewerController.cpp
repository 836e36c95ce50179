#include "history/HistoryViewerController.h"

#include "history/HistoryViewerFile.h"
#include "history/ScriptCall.h"
#include "platform/Log.h"

#include <algorithm>
#include <limits>

namespace velorin {

HistoryViewerController::HistoryViewerController(HistoryViewerView& view, Files& files, Log& log,
                                                 std::string documentsDirectory, std::string path)
    : m_view(view), m_files(files), m_log(log), m_documents(std::move(documentsDirectory)), m_path(std::move(path))
{
}

void HistoryViewerController::viewDidLoad()
{
    m_view.setFileName(m_path);
    m_view.setStepsEnabled(canStep());
    m_view.loadPage();
}

void HistoryViewerController::webViewDidFinishLoad()
{
    m_view.askReadyState([this](const std::string& state) {
        if (state == "complete")
            feed();
    });
}

void HistoryViewerController::feed()
{
    std::string problem;
    const std::string text = historyfile::readChunkText(m_files, historyfile::join(m_documents, m_path), problem);
    if (!problem.empty())
        m_log.line("Viewer: " + m_path + ": " + problem);
    m_view.evaluateScript(ScriptCall("addData").text(text).text(historyfile::withoutExtension(m_path)).str());
}

bool HistoryViewerController::canStep() const
{
    return m_path.ends_with(".ecg");
}

void HistoryViewerController::changePathIndex(std::int32_t step)
{
    // An event file has no place among the recordings; stepping from it would jump to the newest
    // recording, which is not what a step means. Its buttons are off, and a stray call does nothing.
    if (!canStep())
        return;
    const std::vector<std::string> names = historyfile::recordingNames(m_files, m_documents);
    if (names.empty())
        return;
    const auto found = std::find(names.begin(), names.end(), m_path);
    // A recording deleted since it was opened counts from before the newest, as a missing name would.
    const std::int64_t at = found == names.end() ? -1 : found - names.begin();
    // In 64 bits, so that no step can wrap around: the result is clamped to the list anyway.
    const std::int64_t wanted = at + step;
    const std::int64_t last = static_cast<std::int64_t>(names.size()) - 1;
    m_path = names[static_cast<std::size_t>(std::clamp<std::int64_t>(wanted, 0, last))];
    m_view.setFileName(m_path);
    feed();
}

void HistoryViewerController::barButtonBackPressed()
{
    m_view.close();
}

void HistoryViewerController::exportPdf()
{
    m_view.openReport(m_path);
}

} // namespace velorin
