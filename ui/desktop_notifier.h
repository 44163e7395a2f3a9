#pragma once

#include <QObject>
#include <QString>

namespace ui {

// Posts the program's notifications through the desktop's notification service (the
// freedesktop one on the session bus). Each replaces the one before, so they never pile up.
// Without a bus or a service nothing happens, and nothing is waited for: every call is sent
// without blocking and its answer handled later by the event loop.
class DesktopNotifier : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopNotifier)

public:
    explicit DesktopNotifier(QObject* parent = nullptr);

    // `summary` and `body` are plain text.
    void notify(const QString& summary, const QString& body);

private:
    void send(const QString& summary, const QString& body);

    enum class Markup { Unknown, Asking, Plain, Html };
    Markup markup_ = Markup::Unknown;
    QString pendingSummary_;
    QString pendingBody_;
    uint lastId_ = 0;
};

} // namespace ui
