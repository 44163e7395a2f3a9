#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QThread>

#include <atomic>

// A stand-in for the desktop's status notifier watcher, with a host registered from the start or
// later. Qt's tray icon asks it with blocking calls from the window's thread, so it answers from a
// thread of its own.
class WatcherStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    // Qt reads them through an interface that learns them from introspection.
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion MEMBER version_ CONSTANT)

public:
    explicit WatcherStandIn(bool host = true) : host_(host) {}
    ~WatcherStandIn() override
    {
        thread_.quit();
        thread_.wait();
    }
    bool start()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnection);
        moveToThread(&thread_);
        thread_.start();
        // Ready to answer by the time its name shows.
        return bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                   QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties)
            && bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    }
    // A host registers, as a panel's does once it is up, and the watcher says so if it is on the bus.
    void registerHost()
    {
        host_ = true;
        QDBusConnection(kConnection).send(QDBusMessage::createSignal(QStringLiteral("/StatusNotifierWatcher"),
            QStringLiteral("org.kde.StatusNotifierWatcher"), QStringLiteral("StatusNotifierHostRegistered")));
    }
    bool isHostRegistered() const { return host_; }
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
    inline static const QString kConnection = QStringLiteral("watcher");
    std::atomic<bool> host_;
    int version_ = 0;
    QThread thread_;
    mutable QMutex mutex_;
    QString item_;
};
