#pragma once

#include "history/HistoryViewerController.h"
#include "history/HistoryViewerView.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QPushButton;
class QWebEngineView;

namespace velorin {

class Files;
class Log;
class SettingsStore;
class Timers;
class ViewerWebPage;

// What the history screens reach beyond themselves; push and pop stand for presenting a screen
// modally and dismissing it.
struct HistoryScreens {
    Files& files;
    const SettingsStore& settings;
    Log& log;
    Timers& timers; // paces the report's notices
    std::string documentsDirectory;
    std::function<void(QWidget*)> push;
    std::function<void()> pop;
};

// The recording viewer: the chart page, "Back" and "Export" above it and the six step buttons
// below it, later recordings to the right.
class HistoryViewerPage : public QWidget, public HistoryViewerView {
    Q_OBJECT
public:
    // The viewer on a file of the documents directory, as the catalogue opens it.
    HistoryViewerPage(HistoryScreens screens, std::string path, QWidget* parent = nullptr);
    ~HistoryViewerPage() override;

    // Creates the viewer and pushes it: the one call the catalogue makes.
    static HistoryViewerPage* open(const HistoryScreens& screens, const std::string& path);

    HistoryViewerController& controller() { return *m_controller; }
    ViewerWebPage* webPage() const { return m_page; }
    QWebEngineView* webView() const { return m_view; }

    void loadPage() override;
    void evaluateScript(const std::string& script) override;
    void askReadyState(std::function<void(const std::string&)> answer) override;
    void close() override;
    void setFileName(const std::string& name) override;
    void setStepsEnabled(bool enabled) override;
    void openReport(const std::string& path) override;

private:
    HistoryScreens m_screens;
    QWebEngineView* m_view;
    ViewerWebPage* m_page;
    QLabel* m_title;
    std::array<QPushButton*, 6> m_steps{};
    std::unique_ptr<HistoryViewerController> m_controller;
};

} // namespace velorin
