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
        QVariantMap hints;
        uint id = 0;
    };

    // Registers on its own connection to the session bus. False when it could not.
    bool start();
    const QList<Call>& calls() const { return calls_; }

public Q_SLOTS:
    QStringList GetCapabilities() const;
    uint Notify(const QString& appName, uint replacesId, const QString& icon, const QString& summary,
        const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout);

private:
    QList<Call> calls_;
    uint nextId_ = 40;
};
