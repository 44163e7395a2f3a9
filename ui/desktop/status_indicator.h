#pragma once

#include "ui/base/diagnostics.h"

#include <QIcon>
#include <QObject>
#include <QString>

class QDBusConnection;
class QSystemTrayIcon;

namespace ui {

class X11Tray;

// The verdict in the desktop's status area while watching, as an icon with a tooltip.
//
// Qt's tray icon makes blocking calls on the session bus whenever it is shown (it asks the
// status notifier watcher through an introspected interface, opens a connection of its own and
// asks again). So whether the desktop shows such icons is first asked without blocking, and the
// icon is made only once the bus has answered, and never while a check runs: a hung bus leaves
// the checks untouched and simply shows nothing.
//
// Qt also settles, at its first icon, which kind of status area it serves, and keeps that for
// the life of the process: the watcher's if it finds one ready then, else the X11 tray. So the
// icon is made only once a host has registered with the watcher, or an X11 tray is there. Both
// are followed while the program runs (the watcher on the bus, the tray on the X server), so a
// status area that comes later still gets the icon.
class StatusIndicator : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusIndicator)

public:
    explicit StatusIndicator(QObject* parent = nullptr);
    ~StatusIndicator() override;

    // Shown from Start until Stop.
    void setWatching(bool watching);
    // While a check runs, nothing may wait on the bus, and an activation waits for its end.
    void setBusy(bool busy);
    // What the indicator shows, from the next moment it can.
    void show(const QString& toolTip, const QIcon& icon);

Q_SIGNALS:
    // The user clicked the indicator.
    void activated();

private Q_SLOTS:
    // The watcher came, went or gained a host.
    void ask();

private:
    enum class Host { Unknown, Asking, Registered, Absent };

    void follow(QDBusConnection& bus);
    void update();

    Host host_ = Host::Unknown;
    bool following_ = false;
    X11Tray* x11Tray_;
    bool x11TrayPresent_ = false;
    bool watching_ = false;
    bool busy_ = false;
    bool activationPending_ = false;
    QString toolTip_;
    QIcon picture_;
    QSystemTrayIcon* icon_ = nullptr;
    Trouble trouble_{lcDesktop};
};

} // namespace ui
