#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <signal.h>

// NetworkManager and logind on a system bus of their own, played by python3-dbusmock's templates:
// a private dbus-daemon and a dbusmock for each, started and stopped by their process ids. The
// bus's address goes into DBUS_SYSTEM_BUS_ADDRESS for the program under test. The services answer
// from processes of their own, so the test's thread may wait meanwhile.
class SystemBusStandIn {
public:
    // As NetworkManager's D-Bus API numbers its states and connectivities.
    static constexpr uint kDisconnected = 20, kConnectedSite = 60, kConnectedGlobal = 70;
    static constexpr uint kNoConnectivity = 1, kPortal = 2, kLimited = 3, kFull = 4;

    ~SystemBusStandIn()
    {
        ::kill(static_cast<pid_t>(daemon_.processId()), SIGCONT);
        QDBusConnection::disconnectFromBus(kConnection);
        for (QProcess* process : {&networkManager_, &logind_, &daemon_}) {
            process->kill();
            process->waitForFinished();
        }
    }

    // Starts the bus with NetworkManager connected, at full connectivity and its own check off,
    // and logind; false when it could not.
    bool start()
    {
        daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
            QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
        if (!daemon_.waitForReadyRead(kStartMs))
            return false;
        const QByteArray address = daemon_.readLine().trimmed();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
        const QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLatin1(address), kConnection);
        // Debian's own interpreter, which python3-dbusmock belongs to, whatever else the PATH offers.
        for (auto [mock, name] : {std::pair{&networkManager_, "networkmanager"}, {&logind_, "logind"}})
            mock->start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-m"), QStringLiteral("dbusmock"),
                QStringLiteral("--system"), QStringLiteral("--template"), QString::fromLatin1(name)});
        const QDeadlineTimer deadline(kStartMs);
        while (!bus.interface()->isServiceRegistered(kNetworkManager) || !bus.interface()->isServiceRegistered(kLogind)) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(20);
        }
        // The template leaves the property out, as NetworkManager before 1.10 did.
        return call(kNetworkManager, kMock, QStringLiteral("AddProperty"),
            {kNetworkManager, kCheckProperty, QVariant::fromValue(QDBusVariant(false))});
    }

    // Each is told as the service tells it, by its signals.
    void setState(uint state) { call(kNetworkManager, kMock, QStringLiteral("SetGlobalConnectionState"), {state}); }
    void setConnectivity(uint connectivity)
    {
        call(kNetworkManager, kMock, QStringLiteral("SetConnectivity"), {connectivity});
    }
    void setConnectivityCheck(bool enabled)
    {
        call(kNetworkManager, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
            {kNetworkManager, kCheckProperty, QVariant::fromValue(QDBusVariant(enabled))});
    }
    // logind's PrepareForSleep: true as the computer goes to sleep, false once it has woken.
    void prepareForSleep(bool sleeping)
    {
        call(kLogind, kMock, QStringLiteral("EmitSignal"), {QStringLiteral("org.freedesktop.login1.Manager"),
            QStringLiteral("PrepareForSleep"), QStringLiteral("b"), QVariant::fromValue(QVariantList{sleeping})});
    }

    // The bus stops answering anyone, as a hung system bus does.
    void freeze() { ::kill(static_cast<pid_t>(daemon_.processId()), SIGSTOP); }

private:
    static constexpr int kStartMs = 20'000;
    inline static const QString kConnection = QStringLiteral("system bus stand-in");
    inline static const QString kNetworkManager = QStringLiteral("org.freedesktop.NetworkManager");
    inline static const QString kLogind = QStringLiteral("org.freedesktop.login1");
    inline static const QString kMock = QStringLiteral("org.freedesktop.DBus.Mock");
    inline static const QString kCheckProperty = QStringLiteral("ConnectivityCheckEnabled");

    // Each service's main object has the path its name spells.
    static bool call(const QString& service, const QString& interface, const QString& method, const QVariantList& arguments)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            service, u'/' + QString(service).replace(u'.', u'/'), interface, method);
        message.setArguments(arguments);
        return QDBusConnection(kConnection).call(message).type() == QDBusMessage::ReplyMessage;
    }

    QProcess daemon_;
    QProcess networkManager_;
    QProcess logind_;
};
