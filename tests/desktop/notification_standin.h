#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A stand-in for the desktop's notification service on the session bus the test started: it
// records every Notify and answers as a real service does, with an id.
class NotificationStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call {
        QString appName;
        uint replacesId = 0;
        QString icon;
        QString summary;
        QString body;
        QString desktopEntry; // the hint naming the sender's desktop entry
        uint id = 0;
    };

    // Registers on its own connection to the session bus. False when it could not.
    bool start()
    {
        const QString name = QStringLiteral("org.freedesktop.Notifications");
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        return bus.registerService(name)
            && bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                QDBusConnection::ExportAllSlots);
    }
    const QList<Call>& calls() const { return calls_; }

public Q_SLOTS:
    // Like most services: it reads markup in a body.
    QStringList GetCapabilities() const { return {QStringLiteral("body"), QStringLiteral("body-markup")}; }
    uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
        const QString& body, const QStringList&, const QVariantMap& hints, int)
    {
        calls_.append({appName, replacesId, icon, summary, body, hints.value(QStringLiteral("desktop-entry")).toString(),
            replacesId != 0 ? replacesId : ++lastId_});
        return calls_.last().id;
    }

private:
    QList<Call> calls_;
    uint lastId_ = 40;
};
