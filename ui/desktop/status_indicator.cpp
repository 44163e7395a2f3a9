#include "ui/desktop/status_indicator.h"

#include "ui/desktop/x11_tray.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QSystemTrayIcon>

#include <utility>

namespace ui {

namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");

// Errors that say nothing about a host, only that the bus did not answer in time.
bool unanswered(const QDBusError& error)
{
    return error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout
        || error.type() == QDBusError::TimedOut;
}

} // namespace

StatusIndicator::StatusIndicator(QObject* parent) : QObject(parent), x11Tray_(new X11Tray(this))
{
    connect(x11Tray_, &X11Tray::appeared, this, [this] {
        x11TrayPresent_ = true;
        update();
    });
    // Asked now, one message without a wait, so that the first Start already knows and the
    // icon can stand beside the first check. Only where the session names its bus: the window
    // has connected to it already then, while looking for a bus elsewhere would slow start-up;
    // there the first Start asks.
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        ask();
}

StatusIndicator::~StatusIndicator() = default;

void StatusIndicator::setWatching(bool watching)
{
    watching_ = watching;
    if (watching) {
        // The watcher is followed once it has answered; until then its bus may come back.
        if (host_ == Host::Unknown)
            ask();
        // Read before the first check begins, so that a tray already there shows the icon
        // during it; one that comes later tells of itself.
        x11TrayPresent_ = x11Tray_->present();
    }
    update();
}

void StatusIndicator::setBusy(bool busy)
{
    busy_ = busy;
    if (busy)
        return;
    if (activationPending_) {
        activationPending_ = false;
        Q_EMIT activated();
    }
    update();
}

void StatusIndicator::show(const QString& toolTip, const QIcon& icon)
{
    toolTip_ = toolTip;
    // A new picture is news to every panel showing it; the same one is not.
    const bool newPicture = icon.cacheKey() != picture_.cacheKey();
    picture_ = icon;
    if (icon_ == nullptr)
        return;
    icon_->setToolTip(toolTip_);
    if (newPicture)
        icon_->setIcon(picture_);
}

void StatusIndicator::ask()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        // No bus, no host; an X11 tray may still be there.
        host_ = Host::Absent;
        return;
    }
    follow(bus);
    // A known answer stands until the next one.
    if (host_ == Host::Unknown)
        host_ = Host::Asking;
    QDBusMessage get = QDBusMessage::createMethodCall(kWatcher, kWatcherPath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kWatcher << QStringLiteral("IsStatusNotifierHostRegistered");
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(get), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *finished;
        if (reply.isError() && unanswered(reply.error())) {
            trouble_.report(QStringLiteral("The status area did not answer: ") + reply.error().message());
            host_ = Host::Unknown;
            return;
        }
        // No watcher at all only means a desktop without the status area; anything else failed.
        if (reply.isError() && reply.error().type() != QDBusError::ServiceUnknown)
            trouble_.report(QStringLiteral("The status area failed: %1 (%2)")
                                .arg(reply.error().message(), reply.error().name()));
        else
            trouble_.clear(QStringLiteral("The status area answers again."));
        host_ = !reply.isError() && reply.value().variant().toBool() ? Host::Registered : Host::Absent;
        update();
    });
}

void StatusIndicator::follow(QDBusConnection& bus)
{
    if (std::exchange(following_, true))
        return;
    // From any sender: tied to the watcher's name, a signal would have Qt look up the name's
    // owner, waiting for the answer. Whoever sends them, they only have the watcher asked again.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("NameOwnerChanged"), {kWatcher}, QString(), this, SLOT(ask()));
    bus.connect(QString(), kWatcherPath, kWatcher, QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(ask()));
}

void StatusIndicator::update()
{
    if (!watching_) {
        delete icon_;
        icon_ = nullptr;
        return;
    }
    if (icon_ != nullptr || busy_)
        return;
    // Without a host Qt turns to the X11 tray; its asking is quick then, the bus having answered.
    if (host_ != Host::Registered && !(host_ == Host::Absent && x11TrayPresent_))
        return;
    icon_ = new QSystemTrayIcon(picture_, this);
    icon_->setToolTip(toolTip_);
    // A left click; the indicator has no menu of its own.
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger)
            return;
        if (busy_)
            activationPending_ = true;
        else
            Q_EMIT activated();
    });
    icon_->show();
}

} // namespace ui
