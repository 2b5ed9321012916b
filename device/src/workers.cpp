#include "kavrel/device/workers.h"

#include <memory>
#include <optional>
#include <vector>

#include "kavrel/hid/hid.h"
#include "kavrel/os/diag.h"

namespace kavrel {

std::atomic<std::uint32_t> gMouseEventFlags[2];

// ---------------------------------------------------------------- exit event

void ExitEvent::set() {
    {
        std::lock_guard lock(m_);
        set_ = true;
        if (waker_) waker_();
    }
    cv_.notify_all();
}

void ExitEvent::reset() {
    std::lock_guard lock(m_);
    set_ = false;
}

bool ExitEvent::isSet() const {
    std::lock_guard lock(m_);
    return set_;
}

bool ExitEvent::wait(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, timeout, [this] { return set_; });
}

void ExitEvent::setWaker(std::function<void()> waker) {
    std::lock_guard lock(m_);
    waker_ = std::move(waker);
    if (set_ && waker_) waker_();
}

namespace {

// The probe of the watchers: the node behind the path is still there. Nothing stays open.
bool probePath(const std::string& path) { return hid::probeInterface(path); }

bool matchesIdentity(HidDevice& dev, std::uint16_t vid, std::uint16_t pid, std::uint16_t usagePage,
                     std::uint16_t usage) {
    const HidAttributes a = dev.Attributes();
    const HidCaps c = dev.Capabilities();
    return a.vendorId == vid && a.productId == pid && c.usagePage == usagePage && c.usage == usage;
}

} // namespace

// ---------------------------------------------------------------- presence watcher

void MousePresenceWatcher(WorkerWindow& window, ExitEvent& exit) {
    stop::Begin(exit);
    DeviceChannel& channel = window.Channel(DeviceKind::Mouse);
    HidDevice& dev = channel.Device();
    bool firstCycle = true;
    // The last visibility handed to "ms_deng_same_mode" (-1 none yet): the step is only queued
    // on a change.
    int sameModeShown = -1;

    while (stop::Running(exit)) {
        {
            std::lock_guard lock(channel.TransactionLock());
            if (!channel.IsConnected()) {
                if (!dev.EnumerateInterfaces()) return; // no detection from now on
                while (std::optional<std::string> path = dev.NextInterfacePath()) {
                    if (VendorIdFromPath(*path) != channel.VendorId()) continue;
                    if (!dev.Open(*path, true, true, true, false)) continue;
                    if (!matchesIdentity(dev, channel.VendorId(), channel.ProductId(), channel.UsagePage(),
                                         channel.Usage())) {
                        dev.Close();
                        continue;
                    }
                    channel.connected.store(true);
                    sameModeShown = -1;
                    WorkerWindow* w = &window;
                    window.RunOnUi([w] {
                        w->SelectStoredDeviceProfile(DeviceKind::Mouse);
                        w->SetTimer(workermsg::kTimerMouseReadAll, 500);
                        w->SetControlVisible("ms_tab", true);
                        w->SelectOption("ms_tab");
                        w->OnMouseDetected();
                        w->SetControlVisible("ms_tab_panel", true);
                    });
                    break;
                }
                if (firstCycle && channel.IsConnected()) window.PostMessage(window.WakeMessage(), 0, 0);
                dev.FreeInterfacePaths();
            } else if (!probePath(dev.DevicePath())) {
                channel.connected.store(false);
                channel.sync.store(false);
                dev.Close();
                const bool keyboard = window.Channel(DeviceKind::Keyboard).IsConnected();
                const bool pad = !keyboard && window.Channel(DeviceKind::Pad).IsConnected();
                WorkerWindow* w = &window;
                window.RunOnUi([w, keyboard, pad] {
                    w->SetControlVisible("ms_tab", false);
                    if (keyboard) {
                        w->SelectOption("kb_tab");
                        w->SetControlFocus("kb_tab");
                        w->SetControlVisible("kb_tab", true);
                    } else if (pad) {
                        w->SelectOption("mp_tab");
                        w->SetControlFocus("mp_tab");
                    }
                });
                if (!keyboard && !pad) window.PostMessage(workermsg::kLastDeviceGone, 0, 0);
            } else {
                const bool show = window.Channel(DeviceKind::Keyboard).IsConnected() ||
                                  window.Channel(DeviceKind::Pad).IsConnected();
                if (sameModeShown != static_cast<int>(show)) {
                    sameModeShown = show;
                    WorkerWindow* w = &window;
                    window.RunOnUi([w, show] { w->SetControlVisible("ms_deng_same_mode", show); });
                }
            }
        }
        firstCycle = false;
        if (!stop::Pause(exit, kPresenceCycle)) break;
    }
    os::debugLine("鼠标设备侦测线程设定退出");
}

// ---------------------------------------------------------------- consumer threads

HidDevice& ConsumerDevice(DeviceKind d) {
    // Kept for the life of the process: a consumer thread left running at exit still has it.
    static HidDevice* keyboard = new HidDevice;
    static HidDevice* mouse = new HidDevice;
    return d == DeviceKind::Keyboard ? *keyboard : *mouse;
}

bool HandleConsumerUsage(WorkerWindow& window, DeviceKind d, std::uint16_t usage) {
    if (d == DeviceKind::Keyboard) {
        switch (usage) {
        case announce::kLightingChanged: window.SendMessage(workermsg::kKeyboardReadLighting); return true;
        case announce::kProfileChanged: window.SendMessage(workermsg::kKeyboardReadAll); return true;
        default: return false;
        }
    }
    switch (usage) {
    case announce::kLightingChanged:
        if (window.Channel(DeviceKind::Mouse).IsConnected())
            window.SetTimer(workermsg::kTimerMouseReadSettings, 10);
        return true;
    case announce::kProfileChanged: window.SendMessage(workermsg::kMouseReadAll); return true;
    case announce::kMouseEvent:
        gMouseEventFlags[0].store(1);
        gMouseEventFlags[1].store(1);
        return true;
    default: return false;
    }
}

namespace {

// The first usage of the first decoded item of a report.
std::uint16_t firstUsage(HidDevice& dev, const std::vector<std::uint8_t>& report) {
    HidReport& in = dev.InputReport();
    if (in.items.empty()) return 0;
    if (!dev.UnpackInputReport(report.data(), report.size(), in.items)) return 0;
    const HidReportItem& item = in.items.front();
    if (!item.isButton) return item.usage;
    return item.usageList.empty() ? 0 : item.usageList.front();
}

enum class Session { DeviceGone, Stopped, Broken };

// Reads announcements until the device is gone or the thread is stopped.
Session readAnnouncements(WorkerWindow& window, DeviceKind d, HidDevice& dev, ExitEvent& exit) {
    const std::size_t length = dev.Capabilities().inputReportByteLength;
    std::vector<std::uint8_t> report(length);
    for (;;) {
        // Checked before every read, so a stop that came while the collection was being opened
        // is not missed (the waker only aborts what is already open).
        if (!stop::Running(exit)) return Session::Stopped;
        if (dev.ReadReport(length, report.data(), kInfiniteTimeout)) {
            HandleConsumerUsage(window, d, firstUsage(dev, report));
            continue;
        }
        if (exit.isSet()) return Session::Stopped;
        if (!probePath(dev.DevicePath())) return Session::DeviceGone;
        // Still present but this opening cannot read (it was aborted or its link died): reading
        // it again would fail at once forever, so search and open afresh.
        return Session::Broken;
    }
}

void consumerThread(WorkerWindow& window, ExitEvent& exit, DeviceKind d, const ConsumerMatch& m,
                    const char* exitLine) {
    stop::Begin(exit);
    HidDevice& dev = ConsumerDevice(d);
    exit.setWaker([&dev] { dev.Abort(); });
    bool found = false;
    bool ended = false;
    while (!ended && stop::Running(exit)) {
        if (!found) {
            if (!dev.EnumerateInterfaces()) {
                exit.setWaker({});
                return; // no announcements from now on
            }
            while (std::optional<std::string> path = dev.NextInterfacePath()) {
                if (VendorIdFromPath(*path) != m.vendorId || ProductIdFromPath(*path) != m.productId) continue;
                if (!dev.Open(*path, true, false, true, false)) continue;
                if (!matchesIdentity(dev, m.vendorId, m.productId, m.usagePage, m.usage)) {
                    dev.Close();
                    continue;
                }
                found = true;
                const Session s = readAnnouncements(window, d, dev, exit);
                if (s != Session::Stopped) found = false;
                if (s == Session::Stopped) ended = true;
                dev.Close();
                break;
            }
            dev.FreeInterfacePaths();
        } else if (!probePath(dev.DevicePath())) {
            found = false;
        }
        if (ended || !stop::Pause(exit, found ? kConsumerProbePause : kConsumerSearchPause)) break;
    }
    exit.setWaker({});
    os::debugLine(exitLine);
}

} // namespace

void KeyboardConsumerThread(WorkerWindow& window, ExitEvent& exit) {
    consumerThread(window, exit, DeviceKind::Keyboard, kKeyboardConsumer, "键盘同步线程设定退出");
}

void MouseConsumerThread(WorkerWindow& window, ExitEvent& exit) {
    consumerThread(window, exit, DeviceKind::Mouse, kMouseConsumer, "鼠标同步线程设定测试退出");
}

} // namespace kavrel
