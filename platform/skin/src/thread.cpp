#include "kavrel/skin/thread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace kavrel::skin {

namespace {

// Work waits in our own queue (a std::mutex makes the hand-over visible to ThreadSanitizer, which
// cannot see inside Qt); a posted event only wakes the UI thread to drain it, in order.
std::mutex queueMutex;
std::deque<std::function<void()>> queue;
std::atomic<bool> quitting{false};

const QEvent::Type kWake = static_cast<QEvent::Type>(QEvent::registerEventType());

class Dispatcher : public QObject {
public:
    bool event(QEvent* e) override {
        // The wake event was made and posted under the queue lock: taking it orders this thread
        // after the poster for every access to the event and the queued work.
        { std::lock_guard lock(queueMutex); }
        if (e->type() != kWake) return QObject::event(e);
        for (;;) {
            std::function<void()> fn;
            {
                std::lock_guard lock(queueMutex);
                if (queue.empty()) break;
                fn = std::move(queue.front());
                queue.pop_front();
            }
            fn();
        }
        return true;
    }
};

Dispatcher* dispatcher() {
    static std::mutex m;
    static Dispatcher* d = nullptr;
    std::lock_guard lock(m);
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return nullptr;
    if (!d) {
        d = new Dispatcher;
        if (d->thread() != app->thread()) d->moveToThread(app->thread());
        QObject::connect(app, &QCoreApplication::aboutToQuit, d, [] { quitting = true; });
    }
    return d;
}

void enqueue(std::function<void()> fn) {
    Dispatcher* d = dispatcher();
    if (!d) return;
    std::lock_guard lock(queueMutex);
    const bool wake = queue.empty();
    queue.push_back(std::move(fn));
    if (wake) QCoreApplication::postEvent(d, new QEvent(kWake));
}

} // namespace

bool isUiThread() {
    QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void postToUi(std::function<void()> fn) {
    if (fn) enqueue(std::move(fn));
}

bool sendToUi(std::function<void()> fn) {
    if (!fn || !QCoreApplication::instance()) return false;
    if (isUiThread()) {
        fn();
        return true;
    }
    if (quitting) return false;
    struct Wait {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
    };
    auto wait = std::make_shared<Wait>();
    enqueue([wait, fn = std::move(fn)] {
        fn();
        std::lock_guard lock(wait->m);
        wait->done = true;
        wait->cv.notify_all();
    });
    std::unique_lock lock(wait->m);
    wait->cv.wait(lock, [&] { return wait->done; });
    return true;
}

} // namespace kavrel::skin
