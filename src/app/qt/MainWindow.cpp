#include "app/qt/MainWindow.h"

#include "app/qt/TermsPage.h"
#include "platform/ApplicationState.h"

#include <QCloseEvent>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QVBoxLayout>

namespace velorin {

namespace {

QWidget* textPage(const QString& text)
{
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    auto* label = new QLabel(text, page);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    layout->addWidget(label);
    return page;
}

} // namespace

MainWindow::MainWindow(TermsController terms, QWidget* monitor, ApplicationState* appState, const QString& title,
                       QWidget* parent)
    : QMainWindow(parent), m_terms(terms), m_appState(appState)
{
    setWindowTitle(title);
    setWindowIcon(QIcon(QStringLiteral(":/velorin.png")));
    m_pages = new QStackedWidget(this);
    setCentralWidget(m_pages);
    m_termsPage = new TermsPage(m_pages);
    m_pages->addWidget(m_termsPage);
    m_tabs = new QTabWidget(m_pages);
    m_tabs->setObjectName("tabBar");
    m_tabs->addTab(monitor, tr("Monitor"));
    m_tabs->addTab(textPage(tr("History comes with a later release")), tr("History"));
    m_tabs->addTab(textPage(tr("Settings come with a later release")), tr("Settings"));
    m_pages->addWidget(m_tabs);
    connect(m_termsPage, &TermsPage::agreeClick, this, [this] {
        // Kept in memory when the file cannot be written; the settings store logs why.
        m_terms.agreeClick();
        showTabs(true);
    });
    connect(m_termsPage, &TermsPage::declineClick, this, &MainWindow::declined);
}

MainWindow::~MainWindow() = default;

QString MainWindow::titleFor(bool simulatedSensor)
{
    return simulatedSensor ? QStringLiteral("Velorin (simulated sensor)") : QStringLiteral("Velorin");
}

void MainWindow::route()
{
    if (m_terms.termsSettled()) {
        showTabs(false);
    } else {
        m_pages->setCurrentWidget(m_termsPage);
        m_termsPage->showFromTop();
    }
}

bool MainWindow::showingTerms() const
{
    return m_pages->currentWidget() == m_termsPage;
}

bool MainWindow::showingTabs() const
{
    return m_pages->currentWidget() == m_tabs;
}

void MainWindow::showTabs(bool afterAcceptance)
{
    m_pages->setCurrentWidget(m_tabs);
    m_tabs->setCurrentIndex(0);
    // The router and the terms page may both ask; the tab bar loads once.
    if (!m_tabsShown) {
        m_tabsShown = true;
        emit tabBarShown(afterAcceptance);
    }
}

void MainWindow::setSettingsPage(QWidget* page)
{
    constexpr int settingsTab = 2;
    QWidget* placeholder = m_tabs->widget(settingsTab);
    const QString title = m_tabs->tabText(settingsTab);
    const int current = m_tabs->currentIndex();
    m_tabs->removeTab(settingsTab);
    m_tabs->insertTab(settingsTab, page, title);
    m_tabs->setCurrentIndex(current);
    delete placeholder;
}

void MainWindow::setHistoryPage(QWidget* page)
{
    constexpr int historyTab = 1;
    replacePlaceholder(historyTab, page);
}

void MainWindow::replacePlaceholder(int tab, QWidget* page)
{
    QWidget* placeholder = m_tabs->widget(tab);
    const QString title = m_tabs->tabText(tab);
    const int current = m_tabs->currentIndex();
    m_tabs->removeTab(tab);
    m_tabs->insertTab(tab, page, title);
    m_tabs->setCurrentIndex(current);
    delete placeholder;
}

void MainWindow::pushPage(QWidget* page)
{
    m_pages->addWidget(page);
    m_pages->setCurrentWidget(page);
}

void MainWindow::popPage()
{
    QWidget* page = m_pages->currentWidget();
    if (page == m_termsPage || page == m_tabs)
        return;
    m_pages->removeWidget(page);
    page->deleteLater();
    m_pages->setCurrentWidget(m_pages->count() > 2 ? m_pages->widget(m_pages->count() - 1) : m_tabs);
}

void MainWindow::followWindowState()
{
    if (!m_appState)
        return;
    const bool away = isMinimized() || !isVisible();
    m_appState->set(away ? AppState::Background : AppState::Active);
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        followWindowState();
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    followWindowState();
}

void MainWindow::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    followWindowState();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_quitConfirmed || !m_recording || !m_recording()) {
        QMainWindow::closeEvent(event);
        return;
    }
    // Nothing ends before the answer; a second close while asking only brings the question up.
    event->ignore();
    // Closed from the task bar while minimized, the window would hide its own question and the
    // close would seem to do nothing.
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    if (m_quitQuestion && m_quitQuestion->isVisible()) {
        m_quitQuestion->raise();
        return;
    }
    m_quitQuestion = new QMessageBox(QMessageBox::Question, windowTitle(), tr("Stop recording and quit?"),
                                     QMessageBox::NoButton, this);
    m_quitQuestion->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton* quit = m_quitQuestion->addButton(tr("Quit"), QMessageBox::AcceptRole);
    QPushButton* cancel = m_quitQuestion->addButton(tr("Cancel"), QMessageBox::RejectRole);
    m_quitQuestion->setDefaultButton(cancel);
    m_quitQuestion->setEscapeButton(cancel);
    connect(quit, &QPushButton::clicked, this, [this] {
        m_quitConfirmed = true;
        // Closing the last window ends the event loop; the application then flushes and ends as usual.
        close();
    });
    m_quitQuestion->setWindowModality(Qt::WindowModal);
    m_quitQuestion->show();
}

} // namespace velorin
