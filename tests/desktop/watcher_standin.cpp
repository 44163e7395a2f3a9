#include "watcher_standin.h"

#include <QDBusConnection>
#include <QMutexLocker>

namespace {
const QString kConnectionName = QStringLiteral("watcher-stand-in");
}

WatcherStandIn::~WatcherStandIn()
{
    thread_.quit();
    thread_.wait();
}

bool WatcherStandIn::start()
{
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnectionName);
    owners_ = new QDBusServiceWatcher(QString(), bus, QDBusServiceWatcher::WatchForUnregistration, this);
    connect(owners_, &QDBusServiceWatcher::serviceUnregistered, this, &WatcherStandIn::forget);
    moveToThread(&thread_);
    thread_.start();
    return bus.isConnected() && bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))
        && bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties);
}

QStringList WatcherStandIn::items() const
{
    const QMutexLocker lock(&mutex_);
    return items_;
}

void WatcherStandIn::RegisterStatusNotifierItem(const QString& service)
{
    owners_->addWatchedService(service);
    const QMutexLocker lock(&mutex_);
    items_.append(service);
}

void WatcherStandIn::forget(const QString& service)
{
    owners_->removeWatchedService(service);
    const QMutexLocker lock(&mutex_);
    items_.removeAll(service);
}
