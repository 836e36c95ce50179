#include "net/qt/QtLocation.h"

#include "platform/qt/HandOver.h"

#include <QGeoPositionInfoSource>

namespace velorin {

QtLocation::QtLocation() : m_context(new QObject)
{
    m_thread.setObjectName(QStringLiteral("velorin-location"));
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    watchEnd(m_thread);
    m_thread.start();
    // Made on its thread without waiting: a positioning service may be slow to answer.
    postTo(
        m_context,
        [this] {
            m_source = QGeoPositionInfoSource::createDefaultSource(m_context);
            if (!m_source)
                return;
            auto keep = [this](const QGeoPositionInfo& info) {
                if (!info.isValid() || !info.coordinate().isValid())
                    return;
                std::lock_guard lock(m_mutex);
                m_last = Coordinate{info.coordinate().latitude(), info.coordinate().longitude()};
            };
            m_source->setPreferredPositioningMethods(QGeoPositionInfoSource::AllPositioningMethods);
            QObject::connect(m_source, &QGeoPositionInfoSource::positionUpdated, m_context, keep);
            // A failed start may be retried by the next call.
            QObject::connect(m_source, &QGeoPositionInfoSource::errorOccurred, m_context, [this] { m_updating = false; });
            keep(m_source->lastKnownPosition());
        });
}

QtLocation::~QtLocation()
{
    runOn(m_context, [this] {
        delete m_source;
        m_source = nullptr;
    });
    m_thread.quit();
    waitForEnd(m_thread);
}

void QtLocation::startUpdatingLocation()
{
    if (m_updating.exchange(true))
        return;
    postTo(m_context, [this] {
        if (m_source)
            m_source->startUpdates();
    });
}

std::optional<Coordinate> QtLocation::lastKnown() const
{
    std::lock_guard lock(m_mutex);
    return m_last;
}

} // namespace velorin
