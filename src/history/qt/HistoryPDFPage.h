#pragma once

#include "history/HistoryPDFController.h"
#include "history/HistoryPDFView.h"
#include "history/qt/HistoryViewerPage.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class QWebEngineView;

namespace velorin {

class NoticeOverlay;
class NoticeQueue;
class ProgressOverlay;
class ViewerWebPage;

// The report screen: the report page with "Back" and "Export". Export makes the PDF and offers it
// in a dialog: "Save as…" or "Open" with the desktop's PDF viewer.
class HistoryPDFPage : public QWidget, public HistoryPDFView {
    Q_OBJECT
public:
    HistoryPDFPage(HistoryScreens screens, std::string path, QWidget* parent = nullptr);
    ~HistoryPDFPage() override;

    static HistoryPDFPage* open(const HistoryScreens& screens, const std::string& path);

    HistoryPDFController& controller() { return *m_controller; }
    ViewerWebPage* webPage() const { return m_page; }
    // Instead of the dialog, for tests and screenshots: gets the PDF and returns at once.
    void setShareHandler(std::function<void(const std::string& bytes, const std::string& name)> handler)
    {
        m_shareHandler = std::move(handler);
    }

    void loadPage() override;
    void evaluateScript(const std::string& script) override;
    void askReadyState(std::function<void(const std::string&)> answer) override;
    void close() override;
    void evaluateScriptAndWait(const std::string& script, std::function<void()> done) override;
    void printPdf(std::function<void(std::string bytes)> done) override;
    void setBusy(bool busy) override;
    void share(const std::string& bytes, const std::string& suggestedName, std::function<void()> finished) override;
    void makeToast(const std::string& message) override;
    double viewWidth() const override;

private:
    void saveAs(const std::string& bytes, const std::string& suggestedName);
    void openInViewer(const std::string& bytes, const std::string& suggestedName);

    HistoryScreens m_screens;
    QWebEngineView* m_view;
    ViewerWebPage* m_page;
    QPointer<ProgressOverlay> m_busy;
    std::unique_ptr<NoticeOverlay> m_noticeOverlay;
    std::unique_ptr<NoticeQueue> m_notices; // after the overlay, which it draws on
    std::function<void(const std::string&, const std::string&)> m_shareHandler;
    std::unique_ptr<HistoryPDFController> m_controller;
};

} // namespace velorin
