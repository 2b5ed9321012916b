// The main window: the hub that owns the device channels, the worker bookkeeping, the tray icon
// and the menus, routes every notification of its layout, turns custom window messages into
// calls on the UI thread and drives the numbered timers.
//
// Thread rules: PostMessage, SendMessage, SetTimer, KillTimer, the pending-write flags and
// keyboardFramesEnabled may be used from any thread; everything else runs on the UI thread.
// Worker threads never touch Qt objects: they reach the window only through this interface.
#pragma once

#include "kavrel/app/messages.h"
#include "kavrel/app/routing.h"
#include "kavrel/app/workers.h"
#include "kavrel/device/device_channel.h"
#include "kavrel/device/device_kind.h"
#include "kavrel/skin/menu.h"
#include "kavrel/skin/tray.h"
#include "kavrel/skin/window.h"
#include "kavrel/ui/skin_changed.h"

#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace kavrel::skin {
class Control;
class Option;
}

namespace kavrel::app {

class PendingSends;
class PowerWatcher;

class CMainWnd : public skin::Window, public ui::SkinChangedReceiver {
public:
    CMainWnd();
    ~CMainWnd() override;

    // Builds "XML_MAIN", sizes the window to 800 x 572 with the product title and centres it.
    // The window is shown by the caller (the entry point), which makes "windowinit" run.
    bool Create();

    // ---- custom window messages (any thread) ----
    // Queues the message for the UI thread and returns at once; messages posted by one thread
    // are handled in the order they were posted.
    void PostMessage(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    // Handles the message on the UI thread and returns its result: directly on the UI thread,
    // otherwise the caller blocks until the UI thread has handled it. Once the workers are being
    // stopped, a send from another thread returns 0 without being handled, so a worker blocked
    // in a send never holds up the shutdown wait.
    std::intptr_t SendMessage(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    // The message handler of the window (UI thread). `handled` tells whether the window acted.
    std::intptr_t HandleCustomMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                                      bool& handled);

    // ---- timers (any thread) ----
    // Numbered timers of the window (ids in messages.h); each tick runs OnTimer(id) on the UI
    // thread. A one-shot timer stops itself in its tick.
    void SetTimer(int id, int ms);
    void KillTimer(int id);
    bool HasTimer(int id) const { return hasTimer(id); }
    virtual void OnTimer(int id);

    // Bodies of the timers and messages whose features arrive later; without a body the window
    // writes a diagnostic and does nothing else. UI thread, before or after "windowinit".
    using TimerBody = std::function<void(CMainWnd&)>;
    void setTimerBody(int id, TimerBody body);
    using MessageBody = std::function<std::intptr_t(CMainWnd&, std::uintptr_t wParam, std::intptr_t lParam)>;
    void setMessageBody(unsigned msg, MessageBody body);
    // The feature handler a routed notification reaches (routing.h); without one the window
    // writes a diagnostic naming the handler and does nothing else.
    using RouteBody = std::function<void(CMainWnd&, const skin::Notification&)>;
    void setRouteBody(Handler handler, RouteBody body);

    // ---- device channels ----
    DeviceChannel& keyboardChannel() { return keyboard_; }
    DeviceChannel& mouseChannel() { return mouse_; }
    DeviceChannel& padChannel() { return pad_; }
    DeviceChannel& channel(DeviceKind d);
    bool anyChannelConnected() const;

    // ---- pending settings writes (any thread; flushed by timer 2) ----
    // Sets the device's flag and wakes the write-back timer, which sleeps while nothing is
    // pending; at most one block per device is written per 100 ms however often this is called.
    void markPendingWrite(DeviceKind d);
    // The flag itself (read it; set it through markPendingWrite).
    std::atomic<std::uint32_t>& pendingWrite(DeviceKind d);

    // 1 while the system is running, 0 after a suspend notice; read by the keyboard lighting
    // writers.
    std::atomic<std::uint32_t> keyboardFramesEnabled{1};

    // ---- worker bookkeeping ----
    // Creates the exit events and starts every worker that has a body (workers.h), in start
    // order. Called once, from "windowinit".
    void StartWorkers();
    // Hides the window, sets every exit event, waits up to 10 s for the started workers, writes
    // the outcome line, then forgets the threads (a worker still blocked is left to the process
    // exit). Safe to call more than once.
    void StopWorkers();
    ExitEvent& exitEvent(Worker w) { return exitEvents_[static_cast<std::size_t>(w)]; }
    bool workersStarted() const { return workersStarted_; }
    // True when the last StopWorkers wait timed out: a worker may still use the window, so the
    // entry point must not delete it.
    bool workersLeftRunning() const { return workersLeftRunning_; }

    // ---- UI-thread procedures ----
    // The wake procedure: with a device connected, restore and raise; otherwise hide and show
    // the "message_text_1" box (never two at once).
    void BringForward();
    // Tray icon clicks (TrayIcon::kLeftButtonUp / kRightButtonUp).
    void OnTrayMouse(int mouseMessage);
    // Menu commands of the main and the tray menu.
    void OnMenuCommandName(const skin::MenuCommand& command);
    // Opens the pop-up menu from a layout at a screen point (closing any held one first).
    void OpenMenu(const QString& layout, const QPoint& at);
    skin::Menu* heldMenu() const { return menu_.get(); }
    skin::TrayIcon& trayIcon() { return tray_; }
    // The skin-changed receive: a colour (flag set) or an image for "root".
    bool Receive(const ui::SkinChangedParam& param) override;
    // Opens the about window.
    void OpenAbout();
    // Switches the interface language from a menu ("lan_en" -> English, "lan_cn" -> the
    // second language).
    void SwitchLanguage(bool english);
    // The text query registered with the resource manager.
    std::optional<QString> QueryControlText(const QString& id) const;

    // True while the "message_text_1" box of the wake procedure or of the tray is open.
    static bool isWakeBoxOpen();
    static bool isTrayBoxOpen();

    // The process-wide main window used by worker threads and timers (null before InitWindow
    // and after destruction).
    static CMainWnd* instance();

    // The message box helper the window uses (modal, returns 1 confirmed / 0).
    int ShowMessageKey(const QString& key);

    // ---- skin::Window hooks ----
    void initWindow() override;
    void notify(const skin::Notification& n) override;
    skin::Control* createControl(const QString& className) override;
    void onTimer(int id) override;
    void onMenuCommand(const skin::MenuCommand& command) override;
    void onCloseRequest() override;

    // Set when the tray host is missing: the window is minimised instead of hidden so it stays
    // reachable from the task bar.
    bool hidesToTray() const;
    // Overrides the desktop's tray probe (tests; none = ask the desktop).
    void setTrayAvailable(std::optional<bool> available) { trayOverride_ = available; }
    // Hides the window to the tray (or minimises it when no tray is available).
    void HideToTray();

    // Called when the entry point received a quit request (tray "exit", SIGTERM, SIGINT).
    std::function<void()> onQuit;
    // Called at the end of "windowinit".
    std::function<void()> onInitDone;

    // The window's "windowinit" ran to its end.
    bool initDone() const { return initDone_.load(); }

private:
    void windowInit();
    void route(const skin::Notification& n);
    void runHandler(Handler h, const skin::Notification& n);
    void onSelectChanged(const skin::Notification& n);
    void onCaptionClick(const QString& name, bool& done);
    void showGuardedBox(std::atomic<bool>& guard);
    void applyStoredBackground();
    void startPowerWatcher();
    // True when a block was written (or tried) this tick.
    bool flushPendingWrites();
    void armPreviewRepaint();
    void raiseOnce();
    void postQuit();
    std::intptr_t dispatch(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, bool& handled);

    // caption buttons
    skin::Control* closeBtn_ = nullptr;
    skin::Control* maxBtn_ = nullptr;
    skin::Control* restoreBtn_ = nullptr;
    skin::Control* minBtn_ = nullptr;
    skin::Control* skinBtn_ = nullptr;

    // control caches of the key lights and keyboard keys
    std::array<skin::Control*, 20> msDkey_{};
    std::array<skin::Control*, 15> mpDkey_{};
    std::array<skin::Control*, 126> kbKey_{};
    std::array<std::uint8_t, 126> kbKeyState_{};
    std::array<std::uint32_t, 126> kbKeyColour_{};

    // recoil selection
    std::int32_t recoilPattern_ = 0;
    std::int32_t recoilEntry_ = 0;

    // menus and tray
    std::unique_ptr<skin::Menu> menu_;
    skin::TrayIcon tray_;

    // device channels, in this order
    DeviceChannel keyboard_;
    DeviceChannel mouse_;
    DeviceChannel pad_;

    std::array<std::atomic<std::uint32_t>, 3> pendingWrites_{};
    std::atomic<bool> writeBackArmed_{false};

    // worker bookkeeping: one exit event and one thread per worker, in start order
    std::array<ExitEvent, kWorkerCount> exitEvents_;
    std::unique_ptr<WorkerThreads> threads_;
    bool workersStarted_ = false;
    bool workersLeftRunning_ = false;
    std::atomic<bool> stopping_{false};

    std::unique_ptr<QObject> activationFilter_;
    std::shared_ptr<PendingSends> sends_;
    std::unique_ptr<PowerWatcher> power_;

    std::map<int, TimerBody> timerBodies_;
    std::map<unsigned, MessageBody> messageBodies_;
    std::map<Handler, RouteBody> routeBodies_;

    std::optional<bool> trayOverride_;
    std::atomic<bool> initDone_{false};
    bool quitPosted_ = false;
    std::shared_ptr<bool> alive_;
};

} // namespace kavrel::app
