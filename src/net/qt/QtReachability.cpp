#include "net/qt/QtReachability.h"

#include <QNetworkInformation>

namespace velorin {

namespace {

bool reachableIn(QNetworkInformation::Reachability state)
{
    return state != QNetworkInformation::Reachability::Disconnected;
}

} // namespace

QtReachability::QtReachability()
{
    if (!QNetworkInformation::instance())
        QNetworkInformation::loadDefaultBackend();
    QNetworkInformation* information = QNetworkInformation::instance();
    if (!information)
        return;
    m_reachable.store(reachableIn(information->reachability()));
    m_changes = QObject::connect(information, &QNetworkInformation::reachabilityChanged,
                                 [this](QNetworkInformation::Reachability state) { m_reachable.store(reachableIn(state)); });
}

QtReachability::~QtReachability()
{
    QObject::disconnect(m_changes);
}

} // namespace velorin
