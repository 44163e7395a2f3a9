#include "tests/desktop/notification_standin.h"

#include <QDBusConnectionInterface>

namespace {
const QString kConnectionName = QStringLiteral("notification-stand-in");
}

bool NotificationStandIn::start()
{
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnectionName);
    return bus.isConnected() && bus.registerService(QStringLiteral("org.freedesktop.Notifications"))
        && bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this, QDBusConnection::ExportAllSlots);
}

QStringList NotificationStandIn::GetCapabilities() const
{
    // Like most services: it reads markup in a body.
    return {QStringLiteral("body"), QStringLiteral("body-markup")};
}

uint NotificationStandIn::Notify(const QString& appName, uint replacesId, const QString& icon,
    const QString& summary, const QString& body, const QStringList&, const QVariantMap& hints, int)
{
    const uint id = replacesId != 0 ? replacesId : ++nextId_;
    calls_.append({appName, replacesId, icon, summary, body, hints, id});
    return id;
}
