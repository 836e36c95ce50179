#pragma once

#include <QMutex>
#include <QString>
#include <QWebEngineUrlRequestInterceptor>

namespace velorin {

// Lets a history page load our resources and one allowed local file; every other request, to the
// network or to other local files, is blocked. Called on the engine's IO thread.
class ViewerUrlFilter : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void allowLocalFile(const QString& path);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    QMutex m_mutex;
    QString m_allowed;
};

} // namespace velorin
