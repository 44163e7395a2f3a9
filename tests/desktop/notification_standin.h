#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
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
        QStringList actions;
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

    // The user clicks notification `id`: as a real service does, it hands over the token for the
    // window to come forward with, then tells of the default action.
    void click(uint id, const QString& token)
    {
        QDBusConnection bus(QStringLiteral("org.freedesktop.Notifications"));
        const QString path = QStringLiteral("/org/freedesktop/Notifications");
        const QString interface = QStringLiteral("org.freedesktop.Notifications");
        bus.send(QDBusMessage::createSignal(path, interface, QStringLiteral("ActivationToken")) << id << token);
        bus.send(QDBusMessage::createSignal(path, interface, QStringLiteral("ActionInvoked")) << id
            << QStringLiteral("default"));
    }

public Q_SLOTS:
    // Like most services: it reads markup in a body.
    QStringList GetCapabilities() const { return {QStringLiteral("body"), QStringLiteral("body-markup")}; }
    uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
        const QString& body, const QStringList& actions, const QVariantMap& hints, int)
    {
        calls_.append({appName, replacesId, icon, summary, body, hints.value(QStringLiteral("desktop-entry")).toString(),
            replacesId != 0 ? replacesId : ++lastId_, actions});
        return calls_.last().id;
    }

private:
    QList<Call> calls_;
    uint lastId_ = 40;
};
