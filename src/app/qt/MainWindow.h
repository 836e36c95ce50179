#pragma once

#include "app/TermsController.h"

#include <QMainWindow>

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
    // A page over the tab bar until popPage; the window owns it.
    void pushPage(QWidget* page);
    void popPage();

signals:
    // The tab bar shows for the first time; afterAcceptance when the terms were accepted just now.
    void tabBarShown(bool afterAcceptance);
    // Decline: the application is to end with status 0, having stored nothing.
    void declined();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showTabs(bool afterAcceptance);
    void followWindowState();

    TermsController m_terms;
    ApplicationState* m_appState;
    QStackedWidget* m_pages;
    TermsPage* m_termsPage;
    QTabWidget* m_tabs;
    bool m_tabsShown = false;
};

} // namespace velorin
