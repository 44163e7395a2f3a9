#include "ui/desktop/desktop_notifier.h"

#include "ui/base/texts.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <utility>

namespace ui {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// The action a click on the notification itself invokes.
const QString kDefaultAction = QStringLiteral("default");

QDBusMessage call(const QString& method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
}

} // namespace

void DesktopNotifier::notify(const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        trouble_.report(QStringLiteral("No notification is posted: there is no session bus (%1)")
                            .arg(bus.lastError().message()));
        return;
    }
    follow(bus);
    pendingSummary_ = summary;
    pendingBody_ = body;
    if (markup_ == Markup::Asking)
        return; // sent once the service has said how it reads a body
    if (markup_ != Markup::Unknown) {
        send(summary, body);
        return;
    }

    // A service that reads markup in a body would take "&" or "<" in a URL for it; whether it
    // does is asked once, before the first notification.
    markup_ = Markup::Asking;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QStringList> reply = *finished;
        noteAnswer(reply.error(), "its capabilities");
        if (reply.isError()) {
            markup_ = Markup::Unknown; // no service yet: ask again next time
            return;
        }
        markup_ = reply.value().contains(QStringLiteral("body-markup")) ? Markup::Html : Markup::Plain;
        send(pendingSummary_, pendingBody_);
    });
}

void DesktopNotifier::send(const QString& summary, const QString& body)
{
    QDBusMessage message = call(QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QString(texts::kDesktopId)}};
    message << QString(texts::kProductTitle) << lastId_ << QString(texts::kProgramId) << summary
            << (markup_ == Markup::Html ? body.toHtmlEscaped() : body)
            << QStringList{kDefaultAction, texts::kShowWindow} << hints
            << qint32{-1};
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<uint> reply = *finished;
        noteAnswer(reply.error(), "a notification");
        if (!reply.isError())
            lastId_ = reply.value();
    });
}

void DesktopNotifier::follow(QDBusConnection& bus)
{
    if (std::exchange(following_, true))
        return;
    // From any sender: tied to the service's name, Qt would wait to learn the name's owner. Only
    // the notification shown counts, and all a stranger could do is bring the window forward.
    bus.connect(QString(), kPath, kInterface, QStringLiteral("ActivationToken"), this,
        SLOT(noteActivationToken(uint, QString)));
    bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this, SLOT(noteAction(uint, QString)));
}

void DesktopNotifier::noteActivationToken(uint id, const QString& token)
{
    // Sent just before the action it belongs to.
    if (id != 0 && id == lastId_)
        token_ = token.toUtf8();
}

void DesktopNotifier::noteAction(uint id, const QString& action)
{
    if (id == 0 || id != lastId_ || action != kDefaultAction)
        return;
    Q_EMIT activated(std::exchange(token_, {}));
}

void DesktopNotifier::noteAnswer(const QDBusError& error, const char* asked)
{
    if (error.isValid())
        trouble_.report(QStringLiteral("The notification service was asked for %1 and failed: %2 (%3)")
                            .arg(QLatin1String(asked), error.message(), error.name()));
    else
        trouble_.clear(QStringLiteral("The notification service answers again."));
}

} // namespace ui
