#include "ui/watch/responsive_wait.h"

#include <QEventLoop>
#include <QThread>

#include <exception>
#include <memory>

namespace ui {

void runResponsively(const std::function<void()>& work)
{
    std::exception_ptr failure;
    const std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    // Delivered to this thread's loop, so a thread that ends before exec() still stops it.
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents | QEventLoop::X11ExcludeTimers);
    worker->wait();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace ui
