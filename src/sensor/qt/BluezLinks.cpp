#include "sensor/qt/BluezLinks.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace velorin {

namespace {

// GetManagedObjects answers a{oa{sa{sv}}}: objects, their interfaces, their properties.
std::set<std::string> linkedAddresses(const QDBusArgument& objects)
{
    std::set<std::string> linked;
    objects.beginMap();
    while (!objects.atEnd()) {
        QDBusObjectPath path;
        objects.beginMapEntry();
        objects >> path;
        objects.beginMap();
        while (!objects.atEnd()) {
            QString interface;
            QVariantMap properties;
            objects.beginMapEntry();
            objects >> interface >> properties;
            objects.endMapEntry();
            if (interface == QStringLiteral("org.bluez.Device1") &&
                properties.value(QStringLiteral("Connected")).toBool())
                linked.insert(properties.value(QStringLiteral("Address")).toString().toUpper().toStdString());
        }
        objects.endMap();
        objects.endMapEntry();
    }
    objects.endMap();
    return linked;
}

} // namespace

void askLinkedDevices(QObject* context, std::function<void(const std::set<std::string>&)> answer)
{
    const QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.bluez"), QStringLiteral("/"),
                                       QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                       QStringLiteral("GetManagedObjects"));
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::systemBus().asyncCall(call), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [answer = std::move(answer)](QDBusPendingCallWatcher* done) {
                         done->deleteLater();
                         const QDBusMessage reply = done->reply();
                         const QVariant objects = reply.arguments().value(0);
                         if (reply.type() != QDBusMessage::ReplyMessage || !objects.canConvert<QDBusArgument>() ||
                             objects.value<QDBusArgument>().currentType() != QDBusArgument::MapType) {
                             answer({});
                             return;
                         }
                         answer(linkedAddresses(objects.value<QDBusArgument>()));
                     });
}

} // namespace velorin
