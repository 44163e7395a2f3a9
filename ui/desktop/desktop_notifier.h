#pragma once

#include "ui/base/diagnostics.h"

#include <QObject>
#include <QString>

class QDBusConnection;
class QDBusError;

namespace ui {

// Posts the program's notifications through the desktop's notification service (the
// freedesktop one on the session bus). Each replaces the one before, so they never pile up.
// Without a bus or a service nothing is shown, and nothing is waited for: every call is sent
// without blocking and its answer handled later by the event loop.
class DesktopNotifier : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopNotifier)

public:
    using QObject::QObject;

    // Shows `summary` over `body`, as plain text, in place of the notification shown before.
    void notify(const QString& summary, const QString& body);

Q_SIGNALS:
    // The user clicked the notification. `startupId` is what the service handed over for the
    // window to come forward with (its activation token), empty when it gave none.
    void activated(const QByteArray& startupId);

private Q_SLOTS:
    void noteActivationToken(uint id, const QString& token);
    void noteAction(uint id, const QString& action);

private:
    void follow(QDBusConnection& bus);
    void send(const QString& summary, const QString& body);
    // What the service answered, told once per cause.
    void noteAnswer(const QDBusError& error, const char* asked);

    enum class Markup { Unknown, Asking, Plain, Html };
    Markup markup_ = Markup::Unknown;
    QString pendingSummary_;
    QString pendingBody_;
    uint lastId_ = 0;
    bool following_ = false;
    QByteArray token_; // handed over for the notification shown, before its action
    Trouble trouble_{lcDesktop};
};

} // namespace ui
