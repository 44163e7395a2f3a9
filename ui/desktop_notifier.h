#pragma once

#include "ui/diagnostics.h"

#include <QObject>
#include <QString>

class QDBusError;

namespace ui {

struct Status;

// Posts the program's notifications through the desktop's notification service (the
// freedesktop one on the session bus). Each replaces the one before, so they never pile up.
// Without a bus or a service nothing is shown, and nothing is waited for: every call is sent
// without blocking and its answer handled later by the event loop.
class DesktopNotifier : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopNotifier)

public:
    explicit DesktopNotifier(QObject* parent = nullptr);

    // Tells of a new verdict: its marker, over the URL, the status line and why the site is down.
    void notify(const ui::Status& status);

private:
    void send(const QString& summary, const QString& body);
    // What the service answered, told once per cause.
    void noteAnswer(const QDBusError& error, const char* asked);

    enum class Markup { Unknown, Asking, Plain, Html };
    Markup markup_ = Markup::Unknown;
    QString pendingSummary_;
    QString pendingBody_;
    uint lastId_ = 0;
    Trouble trouble_{lcDesktop};
};

} // namespace ui
