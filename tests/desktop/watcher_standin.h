#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QThread>

// A stand-in for the desktop's status notifier watcher, with a host registered. Qt's tray icon
// asks it with blocking calls from the window's thread, so it answers from a thread of its own.
class WatcherStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    // Qt reads them through an interface that learns them from introspection.
    Q_PROPERTY(bool IsStatusNotifierHostRegistered MEMBER host_ CONSTANT)
    Q_PROPERTY(int ProtocolVersion MEMBER version_ CONSTANT)

public:
    ~WatcherStandIn() override
    {
        thread_.quit();
        thread_.wait();
    }
    bool start()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("watcher"));
        moveToThread(&thread_);
        thread_.start();
        return bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))
            && bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
    }
    // The bus name of the indicator registered last while it is on the bus, else empty.
    QString item() const
    {
        const QMutexLocker lock(&mutex_);
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(item_) ? item_ : QString();
    }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service)
    {
        const QMutexLocker lock(&mutex_);
        item_ = service;
    }

private:
    bool host_ = true;
    int version_ = 0;
    QThread thread_;
    mutable QMutex mutex_;
    QString item_;
};
