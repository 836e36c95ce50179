#include "history/qt/HistoryPDFPage.h"

#include "app/qt/ProgressOverlay.h"
#include "history/HistoryPDFHeader.h"
#include "history/HistoryViewerFile.h"
#include "history/qt/ReportPrinting.h"
#include "history/qt/ViewerWebPage.h"
#include "notices/NoticeQueue.h"
#include "notices/qt/NoticeOverlay.h"
#include "platform/Files.h"
#include "platform/Log.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace velorin {

HistoryPDFPage::HistoryPDFPage(HistoryScreens screens, std::string path, QWidget* parent)
    : QWidget(parent), m_screens(std::move(screens)), m_view(new QWebEngineView(this)),
      m_page(new ViewerWebPage(m_view))
{
    setObjectName(QStringLiteral("historyPDF"));
    m_view->setPage(m_page);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_page->allowLocalFile(
        reportHeader(m_screens.settings, m_screens.files, m_screens.documentsDirectory, path).logo);
    m_controller = std::make_unique<HistoryPDFController>(*this, m_screens.settings, m_screens.files, m_screens.log,
                                                          m_screens.documentsDirectory, path);

    auto* back = new QPushButton(tr("Back"), this);
    auto* exportButton = new QPushButton(tr("Export"), this);
    back->setObjectName(QStringLiteral("back"));
    exportButton->setObjectName(QStringLiteral("export"));
    auto* title = new QLabel(tr("Report: %1").arg(QString::fromStdString(path)), this);
    title->setTextFormat(Qt::PlainText);
    title->setAlignment(Qt::AlignCenter);
    auto* bar = new QHBoxLayout;
    bar->addWidget(back);
    bar->addWidget(title, 1);
    bar->addWidget(exportButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);

    m_noticeOverlay = std::make_unique<NoticeOverlay>(this);
    m_notices = std::make_unique<NoticeQueue>(*m_noticeOverlay, m_screens.timers);
    m_noticeOverlay->onTapped([queue = m_notices.get()](NoticeId id) { queue->noticeTapped(id); });

    HistoryPDFController* c = m_controller.get();
    connect(back, &QPushButton::clicked, this, [c] { c->barButtonBackPressed(); });
    connect(exportButton, &QPushButton::clicked, this, [c] { c->exportPdf(); });
    connect(m_page, &QWebEnginePage::loadFinished, this, [c](bool) { c->webViewDidFinishLoad(); });
    m_controller->viewDidLoad();
}

HistoryPDFPage::~HistoryPDFPage()
{
    // The queue's timers must not reach the overlay once it is gone.
    m_notices.reset();
}

HistoryPDFPage* HistoryPDFPage::open(const HistoryScreens& screens, const std::string& path)
{
    auto* page = new HistoryPDFPage(screens, path);
    if (screens.push)
        screens.push(page);
    return page;
}

void HistoryPDFPage::loadPage()
{
    m_page->loadAsLocal(QStringLiteral("history"), QString::fromStdString(m_screens.documentsDirectory));
}

void HistoryPDFPage::evaluateScript(const std::string& script)
{
    m_page->runJavaScript(QString::fromStdString(script));
}

void HistoryPDFPage::askReadyState(std::function<void(const std::string&)> answer)
{
    m_page->askReadyState(std::move(answer));
}

void HistoryPDFPage::close()
{
    if (m_screens.pop)
        m_screens.pop();
}

void HistoryPDFPage::evaluateScriptAndWait(const std::string& script, std::function<void()> done)
{
    reportprinting::evaluateAndSettle(*m_page, script, std::move(done));
}

void HistoryPDFPage::printPdf(std::function<void(std::string bytes)> done)
{
    reportprinting::print(*m_page, std::move(done));
}

void HistoryPDFPage::setBusy(bool busy)
{
    if (busy && !m_busy) {
        m_busy = new ProgressOverlay(tr("Making the report\u2026"), this);
        m_busy->cover();
        m_busy->show();
    } else if (!busy && m_busy) {
        m_busy->deleteLater();
        m_busy = nullptr;
    }
}

void HistoryPDFPage::share(const std::string& bytes, const std::string& suggestedName, std::function<void()> finished)
{
    if (m_shareHandler) {
        m_shareHandler(bytes, suggestedName);
        finished();
        return;
    }
    // A window-modal question, so that the loop stays free for the engine and the notices.
    auto* box = new QMessageBox(QMessageBox::NoIcon, tr("Report"),
                                tr("The report %1 is ready.").arg(QString::fromStdString(suggestedName)),
                                QMessageBox::NoButton, this);
    box->setTextFormat(Qt::PlainText);
    QPushButton* saveButton = box->addButton(tr("Save as\u2026"), QMessageBox::AcceptRole);
    QPushButton* openButton = box->addButton(tr("Open"), QMessageBox::ActionRole);
    box->addButton(QMessageBox::Close);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<HistoryPDFPage> self(this);
    connect(box, &QMessageBox::finished, this,
            [self, box, saveButton, openButton, bytes, suggestedName, finished = std::move(finished)] {
                if (!self)
                    return;
                if (box->clickedButton() == saveButton)
                    self->saveAs(bytes, suggestedName);
                else if (box->clickedButton() == openButton)
                    self->openInViewer(bytes, suggestedName);
                finished();
            });
    box->open();
}

void HistoryPDFPage::saveAs(const std::string& bytes, const std::string& suggestedName)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = QDir::homePath();
    const QString chosen = QFileDialog::getSaveFileName(
        this, tr("Save the report"), QDir(folder).filePath(QString::fromStdString(suggestedName)),
        tr("PDF documents (*.pdf)"));
    if (chosen.isEmpty())
        return;
    const FileResult written = m_screens.files.writeAtomically(chosen.toStdString(), bytes);
    if (!written.ok) {
        m_screens.log.line("Report not saved to " + chosen.toStdString() + ": " + written.error);
        makeToast("The report could not be saved: " + written.error);
    }
}

void HistoryPDFPage::openInViewer(const std::string& bytes, const std::string& suggestedName)
{
    // The viewer reads the file after we have handed it over, so it stays in the temporary folder.
    QString stem = QString::fromStdString(historyfile::withoutExtension(suggestedName));
    stem.replace(QLatin1Char('/'), QLatin1Char('_'));
    QTemporaryFile file(QDir(QDir::tempPath()).filePath(QStringLiteral("%1-XXXXXX.pdf").arg(stem)));
    file.setAutoRemove(false);
    if (!file.open() || file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()) ||
        !file.flush()) {
        m_screens.log.line("Report not written to a temporary file: " + file.errorString().toStdString());
        makeToast("The report could not be opened.");
        return;
    }
    file.close();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file.fileName())))
        makeToast("No application opened the report.");
}

void HistoryPDFPage::makeToast(const std::string& message)
{
    m_notices->makeToast(message);
}

double HistoryPDFPage::viewWidth() const
{
    return m_view->width();
}

} // namespace velorin
