#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QDBusVariant>
#include <QObject>
#include <QStringList>

#include <atomic>

// A screen reader on the accessibility bus: it asks the registry for name changes, and on each
// one reads the object's new name over the bus, as screen readers do.
class ScreenReader : public QObject {
    Q_OBJECT

public:
    ~ScreenReader() override { QDBusConnection::disconnectFromBus(bus_.name()); }

    bool listen()
    {
        const QDBusReply<QString> address = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"), QStringLiteral("org.a11y.Bus"),
            QStringLiteral("GetAddress")));
        if (!address.isValid())
            return false;
        bus_ = QDBusConnection::connectToBus(address.value(), QStringLiteral("screen reader"));
        QDBusMessage subscribe = QDBusMessage::createMethodCall(QStringLiteral("org.a11y.atspi.Registry"),
            QStringLiteral("/org/a11y/atspi/registry"), QStringLiteral("org.a11y.atspi.Registry"),
            QStringLiteral("RegisterEvent"));
        subscribe << QStringLiteral("object:property-change:accessible-name");
        return bus_.connect({}, {}, QStringLiteral("org.a11y.atspi.Event.Object"), QStringLiteral("PropertyChange"), this,
                   SLOT(propertyChange(QDBusMessage)))
            && bus_.call(subscribe).type() == QDBusMessage::ReplyMessage;
    }

    QStringList names;         // as read, oldest first
    std::atomic<int> read = 0; // how many; for other threads to wait on

public Q_SLOTS:
    void propertyChange(const QDBusMessage& event)
    {
        if (event.arguments().value(0).toString() != QLatin1String("accessible-name"))
            return;
        QDBusMessage get = QDBusMessage::createMethodCall(
            event.service(), event.path(), QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.a11y.atspi.Accessible") << QStringLiteral("Name");
        // Answered in the order asked, so the names stay in the order of their events.
        auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(get), this);
        connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answered) {
            names << QDBusPendingReply<QDBusVariant>(*answered).value().variant().toString();
            ++read;
            answered->deleteLater();
        });
    }

private:
    QDBusConnection bus_{QString()};
};
