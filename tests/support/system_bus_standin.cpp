#include "tests/support/system_bus_standin.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QThread>

#include <signal.h>

namespace {

// Debian's own interpreter, which python3-dbusmock belongs to, whatever else the PATH offers.
const QString kPython = QStringLiteral("/usr/bin/python3");
const QString kMockInterface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString kNetworkManager = QStringLiteral("org.freedesktop.NetworkManager");
const QString kNetworkManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kCheckProperty = QStringLiteral("ConnectivityCheckEnabled");
constexpr int kStartMs = 20'000;

void startMock(QProcess& mock, const QString& templateName)
{
    mock.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    mock.start(kPython, {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
        QStringLiteral("--template"), templateName});
}

void stop(QProcess& process)
{
    process.kill();
    process.waitForFinished();
}

} // namespace

SystemBusStandIn::~SystemBusStandIn()
{
    if (daemon_.state() == QProcess::NotRunning)
        return;
    ::kill(static_cast<pid_t>(daemon_.processId()), SIGCONT);
    QDBusConnection::disconnectFromBus(connection_);
    stop(networkManager_);
    stop(logind_);
    stop(daemon_);
}

bool SystemBusStandIn::start()
{
    daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
        QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
    if (!daemon_.waitForReadyRead(kStartMs))
        return false;
    const QByteArray address = daemon_.readLine().trimmed();
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    connection_ = QStringLiteral("system bus stand-in %1").arg(daemon_.processId());
    const QDBusConnection bus = QDBusConnection::connectToBus(QString::fromLatin1(address), connection_);
    startMock(networkManager_, QStringLiteral("networkmanager"));
    startMock(logind_, QStringLiteral("logind"));
    const QDeadlineTimer deadline(kStartMs);
    while (!(bus.interface()->isServiceRegistered(kNetworkManager) && bus.interface()->isServiceRegistered(kLogind))) {
        if (deadline.hasExpired() || networkManager_.state() == QProcess::NotRunning
            || logind_.state() == QProcess::NotRunning)
            return false;
        QThread::msleep(20);
    }
    // The template leaves the property out, as NetworkManager before 1.10 did.
    return call(kNetworkManagerPath, kMockInterface, QStringLiteral("AddProperty"),
        {kNetworkManager, kCheckProperty, QVariant::fromValue(QDBusVariant(false))});
}

void SystemBusStandIn::setState(uint state)
{
    call(kNetworkManagerPath, kMockInterface, QStringLiteral("SetGlobalConnectionState"), {state});
}

void SystemBusStandIn::setConnectivity(uint connectivity)
{
    call(kNetworkManagerPath, kMockInterface, QStringLiteral("SetConnectivity"), {connectivity});
}

void SystemBusStandIn::setConnectivityCheck(bool enabled)
{
    call(kNetworkManagerPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
        {kNetworkManager, kCheckProperty, QVariant::fromValue(QDBusVariant(enabled))});
}

void SystemBusStandIn::prepareForSleep(bool sleeping)
{
    call(kLogindPath, kMockInterface, QStringLiteral("EmitSignal"),
        {QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), QStringLiteral("b"),
            QVariant::fromValue(QVariantList{sleeping})});
}

void SystemBusStandIn::freeze()
{
    ::kill(static_cast<pid_t>(daemon_.processId()), SIGSTOP);
}

bool SystemBusStandIn::call(const QString& path, const QString& interface, const QString& method,
    const QVariantList& arguments)
{
    const QString service = path == kLogindPath ? kLogind : kNetworkManager;
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection(connection_).call(message).type() == QDBusMessage::ReplyMessage;
}
