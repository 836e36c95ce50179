#include "app/qt/LogindInhibitor.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace velorin {

LogindInhibitor::LogindInhibitor() = default;

LogindInhibitor::~LogindInhibitor() = default;

void LogindInhibitor::acquire(Outcome outcome)
{
    release();
    QDBusConnection bus = QDBusConnection::systemBus();
    QDBusMessage inhibit = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    inhibit << QStringLiteral("sleep:idle") << QStringLiteral("Velorin") << QStringLiteral("Recording ECG")
            << QStringLiteral("block");
    // Without a bus there is no call, whose watcher would never report; a call failed from the start
    // reports its refusal from the event loop like any answer, and release() still withdraws it.
    m_pending.reset(new QDBusPendingCallWatcher(
        bus.isConnected() ? bus.asyncCall(inhibit)
                          : QDBusPendingCall::fromError(QDBusError(QDBusError::Disconnected, "no system bus"))));
    QObject::connect(m_pending.get(), &QDBusPendingCallWatcher::finished, m_pending.get(),
                     [this, outcome = std::move(outcome)](QDBusPendingCallWatcher* watcher) {
                         const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
                         std::string refusal;
                         if (reply.isError()) {
                             refusal = reply.error().message().toStdString();
                             if (refusal.empty())
                                 refusal = reply.error().name().toStdString();
                         } else if (!reply.value().isValid()) {
                             refusal = "logind answered without a lock";
                         } else {
                             m_lock = reply.value();
                         }
                         // The watcher is the sender of this signal, so it goes later; the outcome may
                         // well call release() or acquire() again.
                         m_pending.release()->deleteLater();
                         outcome(refusal);
                     });
}

void LogindInhibitor::release()
{
    m_pending.reset();
    // Closing our copy of the descriptor ends the inhibitor.
    m_lock = QDBusUnixFileDescriptor();
}

} // namespace velorin
