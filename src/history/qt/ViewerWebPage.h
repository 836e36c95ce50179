#pragma once

#include <QString>
#include <QUrl>
#include <QWebEnginePage>

#include <functional>
#include <string>

class QWebEngineProfile;

namespace velorin {

class ViewerUrlFilter;

// The web page of the history screens: one of our own pages from the resources, in a private
// profile that keeps nothing on disk and lets the page reach nothing but the resources and, for
// the report, the one logo file. No page of ours needs the network.
class ViewerWebPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit ViewerWebPage(QObject* parent = nullptr);
    ~ViewerWebPage() override;

    // "example" or "history".
    static QUrl pageUrl(const QString& name);

    // One of our pages with its scripts and style sheets written into it, shown as a document of
    // the folder given: a page from the resources may not show a local file, a local document may.
    // The report's logo is such a file.
    void loadAsLocal(const QString& name, const QString& folder);

    // The one local file the page may show, given as the file URL handed to the page.
    void allowLocalFile(const std::string& fileUrl);
    // document.readyState, answered on the main thread; not at all once the page has gone.
    void askReadyState(std::function<void(const std::string&)> answer);
    // Runs the script and answers with its result; not at all once the page has gone.
    void evaluate(const QString& script, std::function<void(const QVariant&)> answer);

    // Qt WebEngine wants the OpenGL contexts shared, and its sandbox refuses to run as root (where it
    // is left out unless QTWEBENGINE_CHROMIUM_FLAGS says otherwise); call before the application
    // object exists.
    static void prepareApplication();

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    ViewerWebPage(QWebEngineProfile* profile, ViewerUrlFilter* filter, QObject* parent);

    QUrl m_localBase;
    QWebEngineProfile* m_profile;
    ViewerUrlFilter* m_filter;
};

} // namespace velorin
