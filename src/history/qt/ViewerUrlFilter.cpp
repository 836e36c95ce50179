#include "history/qt/ViewerUrlFilter.h"

#include <QMutexLocker>
#include <QUrl>

namespace velorin {

void ViewerUrlFilter::allowLocalFile(const QString& path)
{
    QMutexLocker lock(&m_mutex);
    m_allowed = path;
}

void ViewerUrlFilter::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    const QUrl url = info.requestUrl();
    const QString scheme = url.scheme();
    if (scheme == QLatin1String("qrc") || scheme == QLatin1String("data") || scheme == QLatin1String("blob"))
        return;
    if (url.isLocalFile()) {
        QMutexLocker lock(&m_mutex);
        if (!m_allowed.isEmpty() && url.toLocalFile() == m_allowed)
            return;
    }
    info.block(true);
}

} // namespace velorin
