// The desktop's sleep signal: logind's PrepareForSleep on the system bus, where there is one.
#pragma once

#include <QObject>

#include <functional>

namespace kavrel::app {

class PowerWatcher : public QObject {
    Q_OBJECT
public:
    // Calls onSleep(true) before a suspend and onSleep(false) after the resume, on the UI thread.
    explicit PowerWatcher(std::function<void(bool suspending)> onSleep);
    bool connected() const { return connected_; }

private slots:
    void prepareForSleep(bool start);

private:
    std::function<void(bool)> onSleep_;
    bool connected_ = false;
};

} // namespace kavrel::app
