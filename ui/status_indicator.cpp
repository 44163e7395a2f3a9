#include "ui/status_indicator.h"

#include "ui/program_icon.h"
#include "ui/site_watch.h"
#include "ui/ui_texts.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QSystemTrayIcon>

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

StatusIndicator::StatusIndicator(QObject* parent) : QObject(parent)
{
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
    // A desktop may have gained a host (or its bus come back) since it was asked.
    if (watching && (host_ == Host::Unknown || host_ == Host::Absent))
        ask();
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

void StatusIndicator::showStatus(const Status& status)
{
    status_ = status.line;
    if (icon_ != nullptr)
        icon_->setToolTip(toolTip());
    if (!status.verdict || status.verdict == verdict_)
        return;
    verdict_ = status.verdict;
    if (icon_ != nullptr)
        icon_->setIcon(verdictIcon());
}

void StatusIndicator::ask()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        // No bus, no host; an X11 tray may still be there.
        host_ = Host::Absent;
        return;
    }
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

void StatusIndicator::update()
{
    if (!watching_) {
        delete icon_;
        icon_ = nullptr;
        return;
    }
    if (icon_ != nullptr || busy_ || (host_ != Host::Registered && host_ != Host::Absent))
        return;
    // Without a host Qt turns to the X11 tray, where a panel offers one; asking is quick then,
    // the bus having just answered.
    if (host_ == Host::Absent && !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    icon_ = new QSystemTrayIcon(verdictIcon(), this);
    icon_->setToolTip(toolTip());
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

QIcon StatusIndicator::verdictIcon() const
{
    if (!verdict_)
        return programIcon();
    return *verdict_ == check::Verdict::Up ? siteUpIcon() : siteDownIcon();
}

QString StatusIndicator::toolTip() const
{
    return texts::kProductTitle + u'\n' + status_;
}

} // namespace ui
