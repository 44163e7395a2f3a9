#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QProcess>
#include <QThread>
#include <QVariantMap>

#include <atomic>

#include <signal.h>

// A stand-in for NetworkManager on a system bus of its own: a private dbus-daemon it starts and
// stops, whose address it puts in DBUS_SYSTEM_BUS_ADDRESS for the program under test. It holds
// the connection state and tells each change as NetworkManager does, by StateChanged and by
// PropertiesChanged; it answers from a thread of its own, since the window's may be waiting.
class NetworkManagerStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(uint State READ state)

public:
    static constexpr uint kDisconnected = 20;
    static constexpr uint kConnectedGlobal = 70;

    ~NetworkManagerStandIn() override
    {
        ::kill(static_cast<pid_t>(daemon_.processId()), SIGCONT);
        QDBusConnection::disconnectFromBus(QStringLiteral("network manager"));
        thread_.quit();
        thread_.wait();
        daemon_.kill();
        daemon_.waitForFinished();
    }

    // Starts the bus with `state`; false when it could not.
    bool start(uint state)
    {
        state_ = state;
        daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
            QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
        if (!daemon_.waitForReadyRead(10'000))
            return false;
        const QString address = QString::fromLatin1(daemon_.readLine().trimmed());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toLatin1());
        QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("network manager"));
        moveToThread(&thread_);
        thread_.start();
        return bus.registerService(QStringLiteral("org.freedesktop.NetworkManager"))
            && bus.registerObject(kPath, this, QDBusConnection::ExportAllProperties);
    }

    uint state() const { return state_; }

    // The bus stops answering anyone, as a hung system bus does.
    void freeze() { ::kill(static_cast<pid_t>(daemon_.processId()), SIGSTOP); }

    // Changes the state and tells of it, as NetworkManager does, in both its ways.
    void setState(uint state)
    {
        state_ = state;
        QDBusConnection bus(QStringLiteral("network manager"));
        bus.send(QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.NetworkManager"),
                     QStringLiteral("StateChanged"))
            << state);
        bus.send(QDBusMessage::createSignal(kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                     QStringLiteral("PropertiesChanged"))
            << QStringLiteral("org.freedesktop.NetworkManager")
            << QVariantMap{{QStringLiteral("State"), QVariant::fromValue(state)}} << QStringList());
    }

private:
    inline static const QString kPath = QStringLiteral("/org/freedesktop/NetworkManager");
    std::atomic<uint> state_ = 0;
    QProcess daemon_;
    QThread thread_;
};
