#include "kavrel/app/application.h"

#include "kavrel/app/main_window.h"
#include "kavrel/app/messages.h"
#include "kavrel/app/single_instance.h"

#include "kavrel/os/diag.h"
#include "kavrel/skin/resources.h"
#include "kavrel/skin/thread.h"
#include "kavrel/ui/controls.h"

#include <QApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdlib>
#include <memory>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kavrel::app {

namespace {

int gSignalPipe[2] = {-1, -1};

void onTerminate(int) {
    const char c = 1;
    // Only async-signal-safe work here: the event loop picks the byte up.
    [[maybe_unused]] ssize_t n = ::write(gSignalPipe[1], &c, 1);
}

bool installTerminationPipe() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gSignalPipe) != 0)
        return false;
    struct sigaction sa{};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    return true;
}

} // namespace

int runApplication(int& argc, char** argv, const RunOptions& options) {
    const unsigned wake = wakeMessage();
    os::debugf("软件标示：%d", static_cast<int>(wake));

    // Declared first so it is released last, after the window and the resources are gone.
    InstanceLock lock;
    if (lock.acquire(kInstanceLockName) == InstanceLock::Result::HeldByOther) {
        sendWakeRequest(kWakeMessageName);
        return 0;
    }

    {
        skin::prepareApplication();
        QApplication app(argc, argv);
        // The window hides to the tray and message boxes come and go: only "exit" ends the loop.
        QApplication::setQuitOnLastWindowClosed(false);
        skin::initialize();
        ui::registerCustomControls();

        auto* window = new CMainWnd;
        window->onQuit = [] { QCoreApplication::quit(); };

        WakeServer wakeServer;
        wakeServer.onWake = [window, wake] { window->PostMessage(wake, 0, 0); };
        wakeServer.listen(kWakeMessageName);

        std::unique_ptr<QSocketNotifier> terminate;
        if (installTerminationPipe()) {
            terminate = std::make_unique<QSocketNotifier>(gSignalPipe[0], QSocketNotifier::Read);
            QObject::connect(terminate.get(), &QSocketNotifier::activated, [window] {
                char buf[16];
                while (::read(gSignalPipe[0], buf, sizeof(buf)) > 0) {
                }
                // A logout or Ctrl+C ends the program like the tray's "exit".
                skin::MenuCommand exit;
                exit.name = QStringLiteral("exit");
                window->OnMenuCommandName(exit);
            });
        }

        if (options.showWindow) {
            window->onInitDone = [window] {
                window->show();
                window->restore();
                window->activate();
            };
        }
        window->Create();
        window->show();

        QApplication::exec();

        terminate.reset();
        wakeServer.close();
        // A worker that did not stop in time may still use the window: leave it to the exit.
        const bool leftRunning = window->workersLeftRunning();
        if (!leftRunning)
            delete window;
        skin::releaseResources();
        if (leftRunning) {
            lock.release();
            std::_Exit(0);
        }
    }
    lock.release();
    return 0;
}

} // namespace kavrel::app
