// One running copy per user session: a lock file held with flock (released by the kernel when
// its process ends, however it ends) and a local socket on which a second copy wakes the first.
#pragma once

#include <QObject>
#include <QString>

#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

class QLocalServer;

namespace kavrel::app {

inline constexpr std::string_view kInstanceLockName = "KAVRELDRVER1";

// $XDG_RUNTIME_DIR/kavrel/ (or /tmp/kavrel-<uid>/ without it), created with mode 0700.
std::filesystem::path runtimeFolder();

class InstanceLock {
public:
    enum class Result { Acquired, HeldByOther, Failed };
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Takes the lock "<runtimeFolder>/<name>.lock". Failed means no lock could be made at all
    // (the caller then runs as if no other copy existed).
    Result acquire(std::string_view name);
    void release();
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// A second copy's wake request: connects to "<runtimeFolder>/<name>" and sends the name. The
// first copy may still be starting, so a refused or missing socket is retried until timeoutMs.
// False when nobody took the request.
bool sendWakeRequest(std::string_view name, int timeoutMs = 2000);

// The first copy's end: every connection that sends the name calls onWake once, on the UI
// thread. Listen only while holding the instance lock (a stale socket file is replaced).
class WakeServer : public QObject {
public:
    WakeServer();
    ~WakeServer() override;
    bool listen(std::string_view name);
    void close();
    std::function<void()> onWake;

private:
    std::unique_ptr<QLocalServer> server_;
    QByteArray name_;
};

} // namespace kavrel::app
