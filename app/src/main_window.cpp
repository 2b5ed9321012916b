#include "kavrel/app/main_window.h"

#include "kavrel/app/settings.h"
#include "power_watcher.h"
#include "worker_threads.h"

#include "kavrel/device/protocol.h"
#include "kavrel/lighting/live.h"
#include "kavrel/mouse/live.h"
#include "kavrel/os/ini.h"
#include "kavrel/os/diag.h"
#include "kavrel/skin/builder.h"
#include "kavrel/skin/containers.h"
#include "kavrel/skin/controls.h"
#include "kavrel/skin/resources.h"
#include "kavrel/skin/thread.h"
#include "kavrel/ui/controls.h"
#include "kavrel/ui/copyright.h"
#include "kavrel/ui/msg_wnd.h"
#include "kavrel/ui/skin_frame.h"
#ifdef KAVREL_APP_HAVE_PROFILES
#include "kavrel/profiles/profile_list.h"
#endif

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QWidget>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <list>
#include <thread>

namespace kavrel::app {

namespace {

std::atomic<CMainWnd*> gMainWindow{nullptr};
// One "message_text_1" box at a time for each of its two callers.
std::atomic<bool> gWakeBoxOpen{false};
std::atomic<bool> gTrayBoxOpen{false};

constexpr const char* kTitle = "Drovik Morv TZ814";
constexpr skin::Argb kPaletteStartColour = 0xFF0199CB;

QByteArray utf8(const QString& s) {
    return s.toUtf8();
}

bool sameName(const QString& a, const char* b) {
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

// Deactivation reaches the window as its activation message; showing or restoring the window
// wakes the preview repaint.
class ActivationFilter : public QObject {
public:
    ActivationFilter(CMainWnd* w, std::function<void()> shown) : w_(w), shown_(std::move(shown)) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::WindowDeactivate) {
            bool handled = false;
            w_->HandleCustomMessage(wm::kActivate, 0, 0, handled);
        } else if (e->type() == QEvent::Show || e->type() == QEvent::WindowStateChange) {
            shown_();
        }
        return false;
    }

private:
    CMainWnd* w_;
    std::function<void()> shown_;
};

} // namespace

// Messages sent from other threads wait here until the UI thread handled them, or until the
// shutdown releases them.
class PendingSends {
public:
    struct Call {
        bool done = false;
        bool cancelled = false;
        std::intptr_t result = 0;
    };
    std::mutex m;
    std::condition_variable cv;
    std::list<std::shared_ptr<Call>> calls;
    bool closed = false;

    void cancelAll() {
        {
            std::lock_guard lock(m);
            closed = true;
            for (auto& c : calls) {
                c->cancelled = true;
                c->done = true;
            }
            calls.clear();
        }
        cv.notify_all();
    }
};

CMainWnd::CMainWnd() : sends_(std::make_shared<PendingSends>()), alive_(std::make_shared<bool>(true)) {
    for (auto& f : pendingWrites_)
        f.store(0);
}

CMainWnd::~CMainWnd() {
    // Teardown order: the held pop-up menu first; the channels (pad, mouse, keyboard), the tray
    // icon and the rest follow as members, in reverse declaration order.
    menu_.reset();
    // The widget outlives this part of the object: it must not report to it any more.
    if (activationFilter_ && widget())
        widget()->removeEventFilter(activationFilter_.get());
    activationFilter_.reset();
    sends_->cancelAll();
    alive_.reset();
    if (gMainWindow.load() == this) {
        gMainWindow.store(nullptr);
        skin::setTextQuery({});
    }
}

CMainWnd* CMainWnd::instance() {
    return gMainWindow.load();
}

bool CMainWnd::isWakeBoxOpen() {
    return gWakeBoxOpen.load();
}

bool CMainWnd::isTrayBoxOpen() {
    return gTrayBoxOpen.load();
}

bool CMainWnd::Create() {
    const bool built = create(QStringLiteral("XML_MAIN"), nullptr, QString::fromUtf8(kTitle));
    setTitle(QString::fromUtf8(kTitle));
    resize(800, 572);
    centre();
    activationFilter_ = std::make_unique<ActivationFilter>(this, [this] { armPreviewRepaint(); });
    widget()->installEventFilter(activationFilter_.get());
    return built;
}

DeviceChannel& CMainWnd::channel(DeviceKind d) {
    switch (d) {
    case DeviceKind::Keyboard: return keyboard_;
    case DeviceKind::Mouse: return mouse_;
    case DeviceKind::Pad: break;
    }
    return pad_;
}

bool CMainWnd::anyChannelConnected() const {
    return keyboard_.IsConnected() || mouse_.IsConnected() || pad_.IsConnected();
}

std::atomic<std::uint32_t>& CMainWnd::pendingWrite(DeviceKind d) {
    return pendingWrites_[static_cast<std::size_t>(d)];
}

void CMainWnd::markPendingWrite(DeviceKind d) {
    pendingWrite(d).store(1);
    // The timer sleeps while nothing is pending, so an idle program does not wake ten times a
    // second for nothing; the first change of a quiet period wakes it.
    if (initDone_ && !writeBackArmed_.exchange(true))
        SetTimer(timer::kWriteBack, 100);
}

void CMainWnd::armPreviewRepaint() {
    if (initDone_ && !quitPosted_ && isVisible() && !isMinimized() && !HasTimer(timer::kPreviewRepaint))
        SetTimer(timer::kPreviewRepaint, 100);
}

// ---------------------------------------------------------------- messages

void CMainWnd::PostMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    std::weak_ptr<bool> alive = alive_;
    skin::postToUi([this, alive, msg, wParam, lParam] {
        if (alive.expired())
            return;
        bool handled = false;
        HandleCustomMessage(msg, wParam, lParam, handled);
    });
}

std::intptr_t CMainWnd::SendMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (skin::isUiThread()) {
        bool handled = false;
        return HandleCustomMessage(msg, wParam, lParam, handled);
    }
    auto sends = sends_;
    auto call = std::make_shared<PendingSends::Call>();
    {
        std::lock_guard lock(sends->m);
        if (sends->closed || stopping_.load())
            return 0;
        sends->calls.push_back(call);
    }
    std::weak_ptr<bool> alive = alive_;
    skin::postToUi([this, alive, sends, call, msg, wParam, lParam] {
        {
            std::lock_guard lock(sends->m);
            if (call->cancelled)
                return;
        }
        std::intptr_t result = 0;
        if (!alive.expired()) {
            bool handled = false;
            result = HandleCustomMessage(msg, wParam, lParam, handled);
        }
        {
            std::lock_guard lock(sends->m);
            call->result = result;
            call->done = true;
            sends->calls.remove(call);
        }
        sends->cv.notify_all();
    });
    std::unique_lock lock(sends->m);
    sends->cv.wait(lock, [&] { return call->done; });
    return call->result;
}

std::intptr_t CMainWnd::HandleCustomMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                                            bool& handled) {
    handled = false;
    return dispatch(msg, wParam, lParam, handled);
}

std::intptr_t CMainWnd::dispatch(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam, bool& handled) {
    // Bodies of later features; the window's own diagnostic lines come first.
    auto body = [&](unsigned m, const char* what) -> std::intptr_t {
        handled = true;
        if (auto it = messageBodies_.find(m); it != messageBodies_.end() && it->second)
            return it->second(*this, wParam, lParam);
        os::debugf("message %u (%s): not handled yet", m, what);
        return 0;
    };

    if (msg == wakeMessage()) {
        os::debugf("软件标示 %d，%lxd%lxd", static_cast<int>(msg), static_cast<unsigned long>(wParam),
                   static_cast<unsigned long>(lParam));
        BringForward();
        handled = true;
        return 0;
    }

    switch (msg) {
    case msg::kTrayIcon:
        OnTrayMouse(static_cast<int>(lParam));
        handled = true;
        return 0;
    case msg::kMenuCommand: {
        std::unique_ptr<skin::MenuCommand> command(reinterpret_cast<skin::MenuCommand*>(wParam));
        if (command)
            OnMenuCommandName(*command);
        handled = true;
        return 0;
    }
    case msg::kHookKbSingleKey:
        os::debugLine("WM_HOOK_KEY_SINGLEKEY");
        return body(msg, "keyboard key capture");
    case msg::kHookKbHitKey:
        os::debugLine("WM_HOOK_KEY_KBHITKEY");
        handled = true;
        return 0;
    case msg::kHookKbMacro:
        os::debugLine("WM_HOOK_KEY_MACRO");
        return body(msg, "keyboard macro recording, key");
    case msg::kHookKbMacroMouse: return body(msg, "keyboard macro recording, mouse");
    case msg::kHookMsSingleKey:
        os::debugLine("WM_HOOK_MOU_SINGLEKEY");
        return body(msg, "mouse key capture");
    case msg::kHookMsHitKey:
        os::debugLine("WM_HOOK_MOU_HitKEY");
        handled = true;
        return 0;
    case msg::kHookMsMacro:
        os::debugLine("WM_HOOK_MOU_MACRO");
        return body(msg, "mouse macro recording, key");
    case msg::kHookMsMacroMouse: return body(msg, "mouse macro recording, mouse");
    case msg::kMouseReadAll: return body(msg, "mouse full read");
    case msg::kMouseReadSettings: return body(msg, "mouse settings read");
    case msg::kPadReadAll: return body(msg, "mouse-pad full read");
    case msg::kPadReadSettings: return body(msg, "mouse-pad settings read");
    case msg::kKeyboardReadAll: return body(msg, "keyboard full read");
    case msg::kKeyboardReadLighting: return body(msg, "keyboard lighting read");
    case msg::kKeyboardDefaults: return body(msg, "keyboard defaults");
    case msg::kPadKeyColour:
    case msg::kPadKeyAlpha: {
        handled = true;
        if (wParam < mpDkey_.size() && mpDkey_[wParam]) {
            if (msg == msg::kPadKeyColour)
                mpDkey_[wParam]->setChangeColor(static_cast<std::uint32_t>(lParam));
            else
                mpDkey_[wParam]->setChangeAlpha(static_cast<int>(lParam));
        }
        return 0;
    }
    case msg::kShowProgress:
        if (skin::Control* c = find(QStringLiteral("setting_progress")))
            c->setVisible(true);
        handled = true;
        return 0;
    case msg::kProgressDone:
        SetTimer(timer::kHideProgress, 1000);
        handled = true;
        return 0;
    case msg::kLastDeviceGone:
        if (skin::Control* tab = find(QStringLiteral("ms_deng_Op_tab")))
            tab->setFocus();
        ui::ShowTimedMessage(true, this, QString(), QStringLiteral("message_text_20"), true);
        HideToTray();
        handled = true;
        return 0;

    case wm::kActivate:
        if (wParam == 0) {
            // Deactivation ends any running key capture or recording.
            if (auto it = messageBodies_.find(wm::kActivate); it != messageBodies_.end() && it->second)
                it->second(*this, wParam, lParam);
        }
        return 0;
    case wm::kTimer:
        OnTimer(static_cast<int>(wParam));
        return 0;   // left unhandled, as the base expects
    case wm::kPowerBroadcast:
        if (wParam == wm::kResume)
            keyboardFramesEnabled.store(1);
        else if (wParam == wm::kSuspend)
            keyboardFramesEnabled.store(0);
        return 0;
    case wm::kDpiChanged: {
        const int dpi = static_cast<int>(wParam & 0xFFFF);
        if (dpi > 0)
            setDpi(dpi);
        if (const auto* r = reinterpret_cast<const QRect*>(lParam)) {
            move(r->x(), r->y());
            resize(r->width(), r->height());
        }
        invalidate();
        return 0;
    }
    case wm::kSysCommand:
        handled = true;
        switch (wParam) {
        case wm::kScMinimize: minimize(); break;
        case wm::kScMaximize: maximize(); break;
        case wm::kScRestore:
            if (!isVisible())
                show();
            restore();
            break;
        default: handled = false; break;
        }
        return 0;
    case wm::kDestroy:
        // The native window goes away: the tray icon first, then the same stop as "exit".
        tray_.remove();
        os::debugLine("退出测试");
        StopWorkers();
        postQuit();
        handled = true;
        return 0;
    default: break;
    }
    return 0;
}

void CMainWnd::setTimerBody(int id, TimerBody body) {
    timerBodies_[id] = std::move(body);
}

void CMainWnd::setMessageBody(unsigned msg, MessageBody body) {
    messageBodies_[msg] = std::move(body);
}

void CMainWnd::setRouteBody(Handler handler, RouteBody body) {
    routeBodies_[handler] = std::move(body);
}

// ---------------------------------------------------------------- timers

void CMainWnd::SetTimer(int id, int ms) {
    setTimer(id, ms);
}

void CMainWnd::KillTimer(int id) {
    killTimer(id);
}

void CMainWnd::onTimer(int id) {
    bool handled = false;
    HandleCustomMessage(wm::kTimer, static_cast<std::uintptr_t>(id), 0, handled);
}

void CMainWnd::OnTimer(int id) {
    switch (id) {
    case timer::kHideProgress:
        KillTimer(id);
        if (skin::Control* c = find(QStringLiteral("setting_progress")))
            c->setVisible(false);
        return;
    case timer::kWriteBack:
        if (!flushPendingWrites()) {
            writeBackArmed_.store(false);
            KillTimer(id);
            // A change marked between the flush and the store above must not wait for the next.
            for (DeviceKind d : kAllDevices)
                if (pendingWrite(d).load() && !writeBackArmed_.exchange(true)) {
                    SetTimer(id, 100);
                    break;
                }
        }
        return;
    case timer::kShowRepaint:
        if (QWidget* w = widget())
            w->update();
        invalidate();
        KillTimer(id);
        os::debugLine("1234567890");
        return;
    case timer::kPreviewRepaint:
        KillTimer(id);
        // A hidden or minimised window has nothing to repaint: the timer sleeps until the window
        // is shown again (armPreviewRepaint).
        if (isVisible() && !isMinimized()) {
            invalidate();
            SetTimer(id, 100);
        }
        return;
    case timer::kMouseReadAll:
    case timer::kMouseReadSettings:
    case timer::kKeyboardReadAll:
    case timer::kPadReadAll:
    case timer::kMousePreview:
        KillTimer(id);
        break;
    default: break;
    }
    if (auto it = timerBodies_.find(id); it != timerBodies_.end() && it->second)
        it->second(*this);
    else
        os::debugf("timer %d: not handled yet", id);
}

bool CMainWnd::flushPendingWrites() {
    bool wrote = false;
    for (DeviceKind d : kAllDevices) {
        if (pendingWrite(d).exchange(0) == 0)
            continue;
        wrote = true;
        std::uint8_t block[kPayloadSize] = {};
        if (d == DeviceKind::Mouse) {
            static_assert(sizeof(mouse::MouseSettings) <= sizeof(block));
            std::memcpy(block, &mouse::liveMouseSettings(), sizeof(mouse::MouseSettings));
        } else {
            static_assert(sizeof(lighting::LightingSettings) <= sizeof(block));
            std::memcpy(block, &lighting::liveLightingSettings(d), sizeof(lighting::LightingSettings));
        }
        // No retry on failure: the next change marks the device again.
        const int r = cmd::WriteMemory(channel(d), block, sizeof(block), 0);
        if (r != result::Done)
            os::debugf("settings write-back of %s: %d", devicePrefix(d).data(), r);
    }
    return wrote;
}

// ---------------------------------------------------------------- window start-up

void CMainWnd::initWindow() {
    os::debugLine("InitWindow");
    skin::setTextQuery([this](const QString& id) { return QueryControlText(id); });
    skin::loadLanguage(QStringLiteral("lan_cn.xml"));

    ui::SkinChangedObserver::instance().AddReceiver(this);

    closeBtn_ = find(QStringLiteral("closebtn"));
    maxBtn_ = find(QStringLiteral("maxbtn"));
    restoreBtn_ = find(QStringLiteral("restorebtn"));
    minBtn_ = find(QStringLiteral("minbtn"));
    skinBtn_ = find(QStringLiteral("skinbtn"));

    for (std::size_t i = 0; i < msDkey_.size(); ++i) {
        msDkey_[i] = find(QStringLiteral("ms_dkey_%1").arg(i));
        if (msDkey_[i]) {
            msDkey_[i]->setChangeColorEnabled(true);
            msDkey_[i]->setChangeAlpha(0);
        }
    }
    for (std::size_t i = 0; i < mpDkey_.size(); ++i) {
        mpDkey_[i] = find(QStringLiteral("mp_dkey_%1").arg(i));
        if (mpDkey_[i]) {
            mpDkey_[i]->setChangeColorEnabled(true);
            mpDkey_[i]->setChangeAlpha(0);
        }
    }
    for (std::size_t i = 0; i < kbKey_.size(); ++i)
        kbKey_[i] = find(QStringLiteral("kb_key_%1").arg(i));

    gMainWindow.store(this);

    for (const char* name : {"ms_deng_Color_Pallet", "mp_deng_Color_Pallet", "kb_deng_Color_Pallet"})
        if (auto* p = find<skin::ColorPalette>(QString::fromLatin1(name)))
            p->setSelectColor(kPaletteStartColour);

    tray_.onMouse = [this](int mouseMessage) {
        bool handled = false;
        HandleCustomMessage(msg::kTrayIcon, 0, mouseMessage, handled);
    };
    tray_.create(QStringLiteral("main/tray.svg"), QString::fromUtf8(kTitle));

    // Qt follows each screen's DPI by itself; the layout DPI stays at 96 unless "dpi_btn" or
    // the DPI message sets it.
    // The suspend watcher starts after "windowinit" (startPowerWatcher).
}

void CMainWnd::startPowerWatcher() {
    if (power_)
        return;
    power_ = std::make_unique<PowerWatcher>([this](bool suspending) {
        bool handled = false;
        HandleCustomMessage(wm::kPowerBroadcast, suspending ? wm::kSuspend : wm::kResume, 0, handled);
    });
}

void CMainWnd::applyStoredBackground() {
    const QString image = storedBackgroundImage();
    if (image.isEmpty())
        return;
    if (skin::Control* root = find(QStringLiteral("root"))) {
        root->setBkColor(0);
        root->setBkImage(image);
    }
}

void CMainWnd::windowInit() {
    if (initDone_)
        return;
    // 1. the stored background
    applyStoredBackground();

    // 2. the device pages: keyboard, mouse, mouse pad
    os::debugLine("keyboard macro list: not built yet");
#ifdef KAVREL_APP_HAVE_PROFILES
    const profiles::ShowMessageFn show = [this](const QString& key) { ShowMessageKey(key); };
    profiles::FillDeviceProfileLists(*this, DeviceKind::Keyboard, show);
#else
    os::debugLine("profile lists: not built yet");
#endif
    os::debugLine("mouse recoil list: not built yet");
    os::debugLine("mouse macro list: not built yet");
#ifdef KAVREL_APP_HAVE_PROFILES
    profiles::FillDeviceProfileLists(*this, DeviceKind::Mouse, show);
    profiles::FillDeviceProfileLists(*this, DeviceKind::Pad, show);
#endif

    // 3. device identities
    mouse_.SetIdentity(0x0C45, 0x7643, 0x0092, 0xFF1C);
    pad_.SetIdentity(0x0C45, 0x5004, 0x0092, 0xFF1C);
    keyboard_.SetIdentity(0x0C45, 0x6556, 0x0092, 0xFF1C);

    // 4.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    // 5. the machine-store preset, then 6. into the tray
    applyLanguagePreset();
    HideToTray();

    // 7. workers, 8. timers
    StartWorkers();
    writeBackArmed_.store(true);
    SetTimer(timer::kWriteBack, 100);
    SetTimer(timer::kPreviewRepaint, 100);
    SetTimer(timer::kKeyboardReadAll, 500);
    SetTimer(timer::kPadReadAll, 500);

    // 9. the persisted language
    loadLanguageFor(storedLanguage());
    reloadText();
    initDone_ = true;
    os::debugLine("windowinit done");
    if (onInitDone)
        onInitDone();
    // Connecting to the system bus blocks on its round trips, and nobody suspends the machine
    // in the first moments: the watcher waits for the next turn of the event loop.
    std::weak_ptr<bool> alive = alive_;
    skin::postToUi([this, alive] {
        if (!alive.expired())
            startPowerWatcher();
    });
}

// ---------------------------------------------------------------- notifications

void CMainWnd::notify(const skin::Notification& n) {
    const QString name = n.senderName();
    os::debugLine(utf8(n.type).constData());
    os::debugLine(utf8(name).constData());
    if (n.is(skin::notify::kWindowInit))
        windowInit();
    else
        route(n);
    skin::Window::notify(n);
}

void CMainWnd::route(const skin::Notification& n) {
    const QString name = n.senderName();
    if (n.is(skin::notify::kSelectChanged)) {
        onSelectChanged(n);
        return;
    }
    RouteContext context;
    if (auto* tab = find<skin::Option>(QStringLiteral("kb_deng_Op_tab")))
        context.keyboardLightingTab = tab->isSelected();
    const Handler h = routeFor(n.type, name, context);
    if (h == Handler::CaptionButton) {
        if (sameName(name, "closebtn") || sameName(name, "minbtn"))
            minimize();
        else if (sameName(name, "maxbtn"))
            maximize();
        else if (sameName(name, "restorebtn"))
            restore();
        return;
    }
    runHandler(h, n);
}

void CMainWnd::runHandler(Handler h, const skin::Notification& n) {
    switch (h) {
    case Handler::None:
    case Handler::WindowInit:
    case Handler::CaptionButton:
    case Handler::TabSwitch: return;
    case Handler::SkinChooser:
        ui::ShowSkinFrame(this, n.sender);
        return;
    case Handler::MainMenu:
        OpenMenu(QStringLiteral("menu.xml"), QCursor::pos());
        return;
    case Handler::DpiButton:
        if (const int dpi = n.sender->userData().toInt(); dpi > 0)
            setDpi(dpi);
        return;
    case Handler::RenewDevice:
        os::debugLine("renew_device");
        return;
    case Handler::ProfilePanelHide:
        if (skin::Control* panel = find(QStringLiteral("ms_profile_fun_spead_tab")))
            panel->setVisible(false);
        return;
    default: break;
    }
    if (auto it = routeBodies_.find(h); it != routeBodies_.end() && it->second) {
        it->second(*this, n);
        return;
    }
    os::debugf("%s: %s from %s (not built yet)", handlerName(h).data(), utf8(n.type).constData(),
               utf8(n.senderName()).constData());
}

void CMainWnd::onSelectChanged(const skin::Notification& n) {
    const QString name = n.senderName();
    const Handler h = routeFor(n.type, name);
    // The option's own handling first (recoil, macro, lighting, ...).
    if (h != Handler::TabSwitch)
        runHandler(h, n);

    // Unsaved macro edits keep their tab.
    struct Guard {
        const char* bar;
        const char* featureTab;
        const char* deviceTab;
    };
    static constexpr Guard kGuards[] = {
        {"ms_macro_tab_saveorcancel", "ms_macro_Op_tab", "ms_tab"},
        {"kb_macro_tab_saveorcancel", "kb_macro_Op_tab", "kb_tab"},
    };
    for (const Guard& g : kGuards) {
        skin::Control* bar = find(QString::fromLatin1(g.bar));
        if (!bar || !bar->isVisible() || sameName(name, g.featureTab) || sameName(name, g.deviceTab))
            continue;
        auto* feature = find<skin::Option>(QString::fromLatin1(g.featureTab));
        auto* device = find<skin::Option>(QString::fromLatin1(g.deviceTab));
        if (feature)
            feature->setSelected(true, true);
        if (device) {
            device->setSelected(true, true);
            if (std::strcmp(g.deviceTab, "kb_tab") == 0)
                device->setVisible(true);
        }
        ShowMessageKey(QStringLiteral("message_text_3"));
        return;
    }

    // Any option change ends a running key capture or recording.
    if (auto it = messageBodies_.find(wm::kActivate); it != messageBodies_.end() && it->second)
        it->second(*this, 0, 0);

    if (n.wParam == 0)
        return;
    if (const int page = deviceTabPage(name); page >= 0) {
        if (auto* tabs = find<skin::TabLayout>(QStringLiteral("tab_switch")))
            tabs->selectItem(page);
        return;
    }
    if (const FeatureTab f = featureTab(name); !f.layout.isEmpty()) {
        if (auto* tabs = find<skin::TabLayout>(f.layout))
            tabs->selectItem(f.page);
    }
}

skin::Control* CMainWnd::createControl(const QString& className) {
    static constexpr std::pair<const char*, const char*> kSubLayouts[] = {
        {"kb_Key_UI", "keyboard_key.xml"},   {"kb_Deng_UI", "keyboard_deng.xml"},
        {"kb_Macro_UI", "keyboard_macro.xml"}, {"MS_Deng_UI", "Mouse_deng.xml"},
        {"MS_Macro_UI", "Mouse_macro.xml"},  {"MS_Key_UI", "Mouse_key.xml"},
        {"MP_deng_UI", "MousePad_deng.xml"}, {"MS_DPI_UI", "Mouse_DPI.xml"},
        {"MS_CURSOR_UI", "Mouse_cursor.xml"}, {"kb_CURSOR_UI", "Mouse_cursor.xml"},
    };
    for (const auto& [cls, file] : kSubLayouts) {
        if (!sameName(className, cls))
            continue;
        // Sub-layouts get no builder callback: custom classes inside them come from the registry.
        if (skin::Control* page = skin::buildLayout(QString::fromLatin1(file)))
            return page;
        return new skin::Container;   // a failed page stays empty
    }
    return ui::createCustomControl(className);
}

// ---------------------------------------------------------------- bring forward, tray, menus

void CMainWnd::raiseOnce() {
    setTopMost(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    setTopMost(false);
    activate();
}

bool CMainWnd::hidesToTray() const {
    if (trayOverride_)
        return *trayOverride_;
    return tray_.isCreated() && skin::isTrayAvailable();
}

void CMainWnd::HideToTray() {
    if (hidesToTray()) {
        hide();
        return;
    }
    // No tray host: a hidden window could never be found again, so it waits in the task bar.
    if (!isVisible())
        show();
    minimize();
}

void CMainWnd::showGuardedBox(std::atomic<bool>& guard) {
    if (guard.exchange(true))
        return;
    ShowMessageKey(QStringLiteral("message_text_1"));
    guard.store(false);
}

int CMainWnd::ShowMessageKey(const QString& key) {
    return ui::ShowMessage(this, QString(), key, true);
}

void CMainWnd::BringForward() {
    if (anyChannelConnected()) {
        bool handled = false;
        HandleCustomMessage(wm::kSysCommand, wm::kScRestore, 0, handled);
        raiseOnce();
        return;
    }
    HideToTray();
    showGuardedBox(gWakeBoxOpen);
}

void CMainWnd::OnTrayMouse(int mouseMessage) {
    if (mouseMessage == skin::TrayIcon::kLeftButtonUp) {
        if (!anyChannelConnected()) {
            HideToTray();
            showGuardedBox(gTrayBoxOpen);
            return;
        }
        const bool visible = isVisible();
        const bool minimised = isMinimized();
        if ((visible && !minimised) || (!visible && minimised)) {
            HideToTray();
            return;
        }
        show();
        bool handled = false;
        HandleCustomMessage(wm::kSysCommand, wm::kScRestore, 0, handled);
        raiseOnce();
        invalidate();
        SetTimer(timer::kShowRepaint, 10);
        return;
    }
    if (mouseMessage == skin::TrayIcon::kRightButtonUp) {
        OpenMenu(QStringLiteral("menu1.xml"), QCursor::pos() - QPoint(0, 50));
        const int language = os::readProfileInt(mainIniPath(), kSkinSection, "LANGUAGE");
        skin::MenuItemSpec exit;
        exit.name = QStringLiteral("exit");
        if (language == 0)
            exit.text = QStringLiteral("Close");
        else if (language == 1)
            exit.text = QStringLiteral("ZATVORI");
        menu_->insertItem(0, exit);
        menu_->resizeToContents();
    }
}

void CMainWnd::OpenMenu(const QString& layout, const QPoint& at) {
    if (menu_)
        menu_->close();
    menu_ = std::make_unique<skin::Menu>(this);
    menu_->load(layout);
    menu_->popup(at, skin::MenuAlign::Top | skin::MenuAlign::Right);
}

void CMainWnd::onMenuCommand(const skin::MenuCommand& command) {
    bool handled = false;
    // The record travels by pointer and is released by the message handler.
    HandleCustomMessage(msg::kMenuCommand, reinterpret_cast<std::uintptr_t>(new skin::MenuCommand(command)), 0,
                        handled);
}

void CMainWnd::OnMenuCommandName(const skin::MenuCommand& command) {
    const QString& name = command.name;
    if (sameName(name, "lan_en")) {
        SwitchLanguage(true);
    } else if (sameName(name, "lan_cn")) {
        SwitchLanguage(false);
    } else if (sameName(name, "About_setting")) {
        OpenAbout();
    } else if (name == QLatin1String("qianting") || name == QLatin1String("Menu_Import") ||
               name == QLatin1String("Menu_Export")) {
        // nothing
    } else if (name == QLatin1String("exit")) {
        StopWorkers();
        postQuit();
    } else {
        ShowMessageKey(command.text);
    }
}

void CMainWnd::SwitchLanguage(bool english) {
    switchLanguage(english);
    reloadText();
    invalidate();
}

std::optional<QString> CMainWnd::QueryControlText(const QString& id) const {
    return queryControlText(id);
}

void CMainWnd::OpenAbout() {
    ui::ShowAboutWindow(this);
}

bool CMainWnd::Receive(const ui::SkinChangedParam& param) {
    ui::applySkinToRoot(find(QStringLiteral("root")), param);
    return true;
}

void CMainWnd::onCloseRequest() {
    // The window manager's close (Alt+F4, the task bar) destroys the native window.
    bool handled = false;
    HandleCustomMessage(wm::kDestroy, 0, 0, handled);
}

void CMainWnd::postQuit() {
    if (quitPosted_)
        return;
    quitPosted_ = true;
    if (onQuit) {
        auto quit = onQuit;
        std::weak_ptr<bool> alive = alive_;
        skin::postToUi([alive, quit] { quit(); });
        return;
    }
    QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
}

// ---------------------------------------------------------------- workers

void CMainWnd::StartWorkers() {
    if (workersStarted_)
        return;
    workersStarted_ = true;
    threads_ = std::make_unique<WorkerThreads>();
    for (std::size_t i = 0; i < kWorkerCount; ++i) {
        const auto w = static_cast<Worker>(i);
        exitEvents_[i].reset();
        if (WorkerBody body = workerBody(w))
            threads_->start(w, std::move(body), WorkerStart{this, &exitEvents_[i]});
    }
}

void CMainWnd::StopWorkers() {
    stopping_.store(true);
    hide();
    for (auto& e : exitEvents_)
        e.set();
    // Senders blocked on this thread would never be answered during the wait.
    sends_->cancelAll();
    if (!threads_)
        return;
    if (threads_->waitAll(std::chrono::milliseconds(10000)) == StopOutcome::AllEnded) {
        os::debugLine("所有对象处于激发状态\n");
        workersLeftRunning_ = false;
    } else {
        os::debugLine("所有对象处于非激发状态，超时\n");
        workersLeftRunning_ = true;
    }
    threads_.reset();
}

} // namespace kavrel::app
