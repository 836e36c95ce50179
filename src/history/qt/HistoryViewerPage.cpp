#include "history/qt/HistoryViewerPage.h"

#include "history/qt/HistoryPDFPage.h"
#include "history/qt/ViewerWebPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace velorin {

HistoryViewerPage::HistoryViewerPage(HistoryScreens screens, std::string path, QWidget* parent)
    : QWidget(parent), m_screens(std::move(screens)), m_view(new QWebEngineView(this)),
      m_page(new ViewerWebPage(m_view)), m_title(new QLabel(this))
{
    setObjectName(QStringLiteral("historyViewer"));
    m_view->setPage(m_page);
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_controller = std::make_unique<HistoryViewerController>(*this, m_screens.files, m_screens.log,
                                                             m_screens.documentsDirectory, std::move(path));

    auto* back = new QPushButton(tr("Back"), this);
    auto* exportButton = new QPushButton(tr("Export"), this);
    back->setObjectName(QStringLiteral("back"));
    exportButton->setObjectName(QStringLiteral("export"));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setTextFormat(Qt::PlainText);
    auto* bar = new QHBoxLayout;
    bar->addWidget(back);
    bar->addWidget(m_title, 1);
    bar->addWidget(exportButton);

    // Earlier recordings on the left, as on a time line; a positive step goes to older ones.
    HistoryViewerController* c = m_controller.get();
    const std::array<std::pair<QString, std::function<void()>>, 6> steps{{
        {tr("\u00AB Day earlier"), [c] { c->next3Click(); }},
        {tr("\u2039 30 min earlier"), [c] { c->next2Click(); }},
        {tr("\u2039 Earlier"), [c] { c->nextClick(); }},
        {tr("Later \u203A"), [c] { c->prevClick(); }},
        {tr("30 min later \u203A"), [c] { c->prev2Click(); }},
        {tr("Day later \u00BB"), [c] { c->prev3Click(); }},
    }};
    auto* stepRow = new QHBoxLayout;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        m_steps[i] = new QPushButton(steps[i].first, this);
        m_steps[i]->setObjectName(QStringLiteral("step%1").arg(i));
        connect(m_steps[i], &QPushButton::clicked, this, steps[i].second);
        stepRow->addWidget(m_steps[i]);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);
    layout->addLayout(stepRow);

    connect(back, &QPushButton::clicked, this, [c] { c->barButtonBackPressed(); });
    connect(exportButton, &QPushButton::clicked, this, [c] { c->exportPdf(); });
    connect(m_page, &QWebEnginePage::loadFinished, this, [c](bool) { c->webViewDidFinishLoad(); });
    m_controller->viewDidLoad();
}

HistoryViewerPage::~HistoryViewerPage() = default;

HistoryViewerPage* HistoryViewerPage::open(const HistoryScreens& screens, const std::string& path)
{
    auto* page = new HistoryViewerPage(screens, path);
    if (screens.push)
        screens.push(page);
    return page;
}

void HistoryViewerPage::loadPage()
{
    m_page->load(ViewerWebPage::pageUrl(QStringLiteral("example")));
}

void HistoryViewerPage::evaluateScript(const std::string& script)
{
    m_page->runJavaScript(QString::fromStdString(script));
}

void HistoryViewerPage::askReadyState(std::function<void(const std::string&)> answer)
{
    m_page->askReadyState(std::move(answer));
}

void HistoryViewerPage::close()
{
    if (m_screens.pop)
        m_screens.pop();
}

void HistoryViewerPage::setFileName(const std::string& name)
{
    m_title->setText(QString::fromStdString(name));
}

void HistoryViewerPage::setStepsEnabled(bool enabled)
{
    for (QPushButton* step : m_steps) {
        step->setEnabled(enabled);
        step->setToolTip(enabled ? QString() : tr("An event file has no neighbours among the recordings."));
    }
}

void HistoryViewerPage::openReport(const std::string& path)
{
    HistoryPDFPage::open(m_screens, path);
}

} // namespace velorin
