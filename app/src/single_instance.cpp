#include "kavrel/app/single_instance.h"

#include "kavrel/os/diag.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kavrel::app {

std::filesystem::path runtimeFolder() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg)
        base = std::filesystem::path(xdg) / "kavrel";
    else
        base = std::filesystem::path("/tmp") / ("kavrel-" + std::to_string(::getuid()));
    ::mkdir(base.c_str(), 0700);
    return base;
}

InstanceLock::~InstanceLock() {
    release();
}

InstanceLock::Result InstanceLock::acquire(std::string_view name) {
    release();
    const auto path = runtimeFolder() / (std::string(name) + ".lock");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return Result::Failed;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::close(fd);
        return err == EWOULDBLOCK ? Result::HeldByOther : Result::Failed;
    }
    fd_ = fd;
    return Result::Acquired;
}

void InstanceLock::release() {
    if (fd_ >= 0) {
        ::close(fd_);   // closing the last descriptor drops the flock
        fd_ = -1;
    }
}

bool sendWakeRequest(std::string_view name, int timeoutMs) {
    const auto path = runtimeFolder() / std::string(name);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof(addr.sun_path))
        return false;
    std::memcpy(addr.sun_path, path.c_str(), path.native().size() + 1);
    const std::string message = std::string(name) + "\n";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return false;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0) {
            const ssize_t n = ::send(fd, message.data(), message.size(), MSG_NOSIGNAL);
            // Wait for the server to close its end, so the request has been read when we exit.
            char c;
            timeval tv{static_cast<time_t>(timeoutMs / 1000), static_cast<suseconds_t>((timeoutMs % 1000) * 1000)};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
            (void)::recv(fd, &c, 1, 0);
            ::close(fd);
            return n == static_cast<ssize_t>(message.size());
        }
        const int err = errno;
        ::close(fd);
        if ((err != ECONNREFUSED && err != ENOENT) || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

WakeServer::WakeServer() = default;

WakeServer::~WakeServer() {
    close();
}

bool WakeServer::listen(std::string_view name) {
    close();
    name_ = QByteArray(name.data(), static_cast<qsizetype>(name.size()));
    const QString path = QString::fromStdString((runtimeFolder() / std::string(name)).string());
    QLocalServer::removeServer(path);   // left behind by a copy that was killed
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path)) {
        os::debugf("wake socket: %s", server_->errorString().toUtf8().constData());
        server_.reset();
        return false;
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            QObject::connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            QObject::connect(s, &QLocalSocket::readyRead, this, [this, s] {
                if (!s->canReadLine()) {
                    if (s->bytesAvailable() > 256)   // not one of ours
                        s->disconnectFromServer();
                    return;
                }
                const QByteArray line = s->readLine().trimmed();
                s->disconnectFromServer();
                if (line == name_ && onWake)
                    onWake();
            });
        }
    });
    return true;
}

void WakeServer::close() {
    if (server_) {
        server_->close();
        server_.reset();
    }
}

} // namespace kavrel::app
