#include "power_watcher.h"

#include "kavrel/os/diag.h"

#include <QDBusConnection>

namespace kavrel::app {

PowerWatcher::PowerWatcher(std::function<void(bool)> onSleep) : onSleep_(std::move(onSleep)) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        os::debugLine("no system bus: suspend and resume are not followed");
        return;
    }
    connected_ = bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                             QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                             this, SLOT(prepareForSleep(bool)));
}

void PowerWatcher::prepareForSleep(bool start) {
    if (onSleep_)
        onSleep_(start);
}

} // namespace kavrel::app
