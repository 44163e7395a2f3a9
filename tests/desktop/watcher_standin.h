#pragma once

#include <QDBusServiceWatcher>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QThread>

// A stand-in for the desktop's status notifier watcher on the session bus the test started,
// with a host registered. It keeps the items registered with it while their owners stay on the
// bus, as a real watcher does. It answers on a thread of its own: Qt's tray icon asks it with
// blocking calls from the thread the window runs on.
class WatcherStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    // Qt reads these through an interface that learns them from introspection.
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)

public:
    ~WatcherStandIn() override;
    // Registers on its own connection and starts its thread. False when it could not register.
    bool start();
    // The bus names of the items registered now, oldest first.
    QStringList items() const;

    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service);

private:
    void forget(const QString& service);

    QThread thread_;
    QDBusServiceWatcher* owners_ = nullptr;
    mutable QMutex mutex_;
    QStringList items_;
};
