#include "history/qt/ViewerWebPage.h"

#include "history/qt/ViewerUrlFilter.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QPointer>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

#include <unistd.h>

namespace velorin {

namespace {

QWebEngineProfile* privateProfile(ViewerUrlFilter* filter)
{
    // Without a storage name the profile is off the record: no cache or cookies on disk.
    auto* profile = new QWebEngineProfile;
    profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    profile->setUrlRequestInterceptor(filter);
    return profile;
}

} // namespace

ViewerWebPage::ViewerWebPage(QObject* parent) : ViewerWebPage(nullptr, new ViewerUrlFilter, parent) {}

ViewerWebPage::ViewerWebPage(QWebEngineProfile* profile, ViewerUrlFilter* filter, QObject* parent)
    : QWebEnginePage(profile ? profile : privateProfile(filter), parent), m_profile(QWebEnginePage::profile()),
      m_filter(filter)
{
    // Children go after the page's own teardown, and the profile must outlive its page.
    m_profile->setParent(this);
    m_filter->setParent(m_profile);
    QWebEngineSettings* s = settings();
    // The report's logo is a file URL shown by a page from the resources.
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    s->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    s->setAttribute(QWebEngineSettings::ShowScrollBars, false);
}

ViewerWebPage::~ViewerWebPage() = default;

QUrl ViewerWebPage::pageUrl(const QString& name)
{
    return QUrl(QStringLiteral("qrc:/web/%1.html").arg(name));
}

void ViewerWebPage::loadAsLocal(const QString& name, const QString& folder)
{
    const auto resource = [](const QString& path) {
        QFile file(QStringLiteral(":/web/") + path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    QString html = resource(name + QStringLiteral(".html"));
    static const QRegularExpression script(QStringLiteral("<script src=\"([^\"]+)\"></script>"));
    static const QRegularExpression style(QStringLiteral("<link rel=\"stylesheet\" href=\"([^\"]+)\">"));
    // Our own files, none of which holds "</script>" or "</style>".
    for (QRegularExpressionMatch m = script.match(html); m.hasMatch(); m = script.match(html))
        html.replace(m.capturedStart(), m.capturedLength(),
                     QStringLiteral("<script>%1</script>").arg(resource(m.captured(1))));
    for (QRegularExpressionMatch m = style.match(html); m.hasMatch(); m = style.match(html))
        html.replace(m.capturedStart(), m.capturedLength(),
                     QStringLiteral("<style>%1</style>").arg(resource(m.captured(1))));
    m_localBase = QUrl::fromLocalFile(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
    setHtml(html, m_localBase);
}

void ViewerWebPage::allowLocalFile(const std::string& fileUrl)
{
    if (fileUrl.empty())
        m_filter->allowLocalFile({});
    else
        m_filter->allowLocalFile(QUrl(QString::fromStdString(fileUrl)).toLocalFile());
}

void ViewerWebPage::askReadyState(std::function<void(const std::string&)> answer)
{
    evaluate(QStringLiteral("document.readyState"),
             [answer = std::move(answer)](const QVariant& state) { answer(state.toString().toStdString()); });
}

void ViewerWebPage::evaluate(const QString& script, std::function<void(const QVariant&)> answer)
{
    QPointer<ViewerWebPage> self(this);
    runJavaScript(script, [self, answer = std::move(answer)](const QVariant& result) {
        if (self && answer)
            answer(result);
    });
}

void ViewerWebPage::prepareApplication()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
}

void ViewerWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                             const QString& source)
{
    if (level == ErrorMessageLevel)
        qWarning("history page %s:%d: %s", qPrintable(source), line, qPrintable(message));
}

bool ViewerWebPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame)
{
    // Only our own pages: a link or a dropped file never replaces the chart.
    return !isMainFrame || url.scheme() == QLatin1String("qrc") || url.scheme() == QLatin1String("data") ||
           (!m_localBase.isEmpty() && url == m_localBase);
}

} // namespace velorin
