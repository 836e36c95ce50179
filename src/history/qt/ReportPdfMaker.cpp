#include "history/qt/ReportPdfMaker.h"

#include "history/HistoryPDFHeader.h"
#include "history/HistoryViewerFile.h"
#include "history/qt/ReportPrinting.h"
#include "history/qt/ViewerWebPage.h"
#include "platform/Files.h"

#include <QEventLoop>
#include <QTimer>

namespace velorin {

namespace {

// The width the page is laid out at between prints; it does not change the printed pages.
constexpr int pageWidth = 1000;

} // namespace

ReportPdfMaker::ReportPdfMaker(Files& files, const SettingsStore& settings, Log& log, std::string documentsDirectory,
                               std::string fileName, QObject* parent)
    : QObject(parent), m_files(files), m_documents(std::move(documentsDirectory)), m_fileName(std::move(fileName)),
      m_page(new ViewerWebPage(this))
{
    m_page->allowLocalFile(reportHeader(settings, files, m_documents, m_fileName).logo);
    HistoryPDFView& view = *this;
    m_controller = std::make_unique<HistoryPDFController>(view, settings, files, log, m_documents, m_fileName);
    connect(m_page, &QWebEnginePage::loadFinished, this, [this](bool ok) {
        if (!ok)
            finish({{}, QStringLiteral("the report page did not load")});
        else
            m_controller->webViewDidFinishLoad();
    });
}

ReportPdfMaker::~ReportPdfMaker() = default;

void ReportPdfMaker::start(std::function<void(Result)> done)
{
    m_done = std::move(done);
    // A report of nothing is no report: the screen shows an empty chart, the tool says why.
    const std::string path = historyfile::join(m_documents, m_fileName);
    const EntryInfo info = m_files.entryInfo(path);
    if (info.kind != EntryKind::regular) {
        const QString what = info.kind == EntryKind::missing ? QStringLiteral("there is no file %1")
                                                             : QStringLiteral("%1 is not a regular file");
        finish({{}, what.arg(QString::fromStdString(path))});
        return;
    }
    m_controller->viewDidLoad();
}

ReportPdfMaker::Result ReportPdfMaker::make(Files& files, const SettingsStore& settings, Log& log,
                                            const std::string& documentsDirectory, const std::string& fileName,
                                            std::chrono::milliseconds timeLimit)
{
    Result result{{}, QStringLiteral("the report took longer than %1 s").arg(timeLimit.count() / 1000.0)};
    QEventLoop loop;
    ReportPdfMaker maker(files, settings, log, documentsDirectory, fileName);
    bool finished = false;
    maker.start([&](Result made) {
        result = std::move(made);
        finished = true;
        loop.quit();
    });
    if (!finished) {
        QTimer::singleShot(timeLimit, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return result;
}

void ReportPdfMaker::finish(Result result)
{
    if (!m_done)
        return;
    auto done = std::move(m_done);
    m_done = nullptr;
    done(std::move(result));
}

void ReportPdfMaker::loadPage()
{
    m_page->loadAsLocal(QStringLiteral("history"), QString::fromStdString(m_documents));
}

void ReportPdfMaker::evaluateScript(const std::string& script)
{
    m_page->runJavaScript(QString::fromStdString(script));
}

void ReportPdfMaker::askReadyState(std::function<void(const std::string&)> answer)
{
    m_page->askReadyState(std::move(answer));
}

void ReportPdfMaker::evaluateScriptAndWait(const std::string& script, std::function<void()> done)
{
    reportprinting::evaluateAndSettle(*m_page, script, std::move(done));
}

void ReportPdfMaker::printPdf(std::function<void(std::string bytes)> done)
{
    reportprinting::print(*m_page, std::move(done));
}

void ReportPdfMaker::share(const std::string& bytes, const std::string&, std::function<void()> finished)
{
    finished();
    finish({QByteArray::fromStdString(bytes), {}});
}

void ReportPdfMaker::makeToast(const std::string& message)
{
    finish({{}, QString::fromStdString(message)});
}

double ReportPdfMaker::viewWidth() const
{
    return pageWidth;
}

} // namespace velorin
