#pragma once

#include "app/TermsController.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>

class QMessageBox;
class QStackedWidget;
class QTabWidget;

namespace velorin {

class ApplicationState;
class TermsPage;

// The one main window: the terms until they are accepted, then the tab bar (the monitor first,
// history, settings). Pages pushed over the tab bar stand in for modal screens.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // The window owns the monitor page. appState, when given, follows the window: active while it
    // is shown, in the background while it is minimized or hidden.
    MainWindow(TermsController terms, QWidget* monitor, ApplicationState* appState, const QString& title,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // "Velorin", with "(simulated sensor)" when the sensor is simulated or a replay.
    static QString titleFor(bool simulatedSensor);
    // The start-up router: the tab bar when the terms are settled, else the terms.
    void route();
    bool showingTerms() const;
    bool showingTabs() const;
    QTabWidget* tabs() const { return m_tabs; }
    // Puts the settings tab's page in place of its placeholder; the window owns it.
    void setSettingsPage(QWidget* page);
    // Puts the history tab's page in place of its placeholder; the window owns it.
    void setHistoryPage(QWidget* page);
    // A page over the tab bar until popPage; the window owns it.
    void pushPage(QWidget* page);
    void popPage();
    // Asked when the window is to close: while it answers true the user confirms first.
    void setRecordingQuery(std::function<bool()> recording) { m_recording = std::move(recording); }

signals:
    // The tab bar shows for the first time; afterAcceptance when the terms were accepted just now.
    void tabBarShown(bool afterAcceptance);
    // Decline: the application is to end with status 0, having stored nothing.
    void declined();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void showTabs(bool afterAcceptance);
    void followWindowState();
    void replacePlaceholder(int tab, QWidget* page);

    TermsController m_terms;
    ApplicationState* m_appState;
    QStackedWidget* m_pages;
    TermsPage* m_termsPage;
    QTabWidget* m_tabs;
    bool m_tabsShown = false;
    std::function<bool()> m_recording;
    QPointer<QMessageBox> m_quitQuestion;
    bool m_quitConfirmed = false;
};

} // namespace velorin
