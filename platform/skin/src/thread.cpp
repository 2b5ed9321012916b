#include "kavrel/skin/thread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <atomic>

namespace kavrel::skin {

namespace {
std::atomic<bool> quitting{false};

// Posted work goes to the application object, so it runs on the thread that made it, in the
// order it was posted (Qt keeps posted events to one receiver in order).
QCoreApplication* target() {
    static std::atomic<bool> hooked{false};
    QCoreApplication* app = QCoreApplication::instance();
    if (app && !hooked.exchange(true))
        QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] { quitting = true; }, Qt::DirectConnection);
    return app;
}
} // namespace

bool isUiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void postToUi(std::function<void()> fn) {
    QCoreApplication* app = target();
    if (!app || !fn) return;
    QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

bool sendToUi(std::function<void()> fn) {
    QCoreApplication* app = target();
    if (!app || !fn) return false;
    if (QThread::currentThread() == app->thread()) {
        fn();
        return true;
    }
    if (quitting) return false;
    return QMetaObject::invokeMethod(app, std::move(fn), Qt::BlockingQueuedConnection);
}

} // namespace kavrel::skin
