// The long-running workers of the device link and the stop protocol every worker follows:
// the mouse presence watcher and the two consumer-report threads. They reach the main window
// only through WorkerWindow (messages, timers and UI steps the window runs on its own thread),
// so they stay free of the UI toolkit.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>

#include "kavrel/device/device_channel.h"
#include "kavrel/device/device_kind.h"

namespace kavrel {

// A manual-reset event: once set it stays set until reset; waits return at once while set.
// A worker blocked somewhere else than in wait() (a read without time-out) installs a waker
// that set() calls, so shutdown never waits for a device to speak.
class ExitEvent {
public:
    void set();
    void reset();
    bool isSet() const;
    // True when the event is (or becomes) set within the timeout.
    bool wait(std::chrono::milliseconds timeout) const;
    // Called by set() (under the event's lock, so it never runs after a clearing call returned);
    // an empty function removes it. Also called at once when the event is already set.
    void setWaker(std::function<void()> waker);

private:
    mutable std::mutex m_;
    mutable std::condition_variable cv_;
    bool set_ = false;
    std::function<void()> waker_;
};

// The stop protocol: the event is reset before the worker starts, then the worker loops while the
// event is not set (Running). Every cycle ends in a pause or a blocking read that the event
// wakes, so the check at the top needs no 1 ms wait of its own: that wait would only add a
// wake-up per cycle.
namespace stop {
// Entry of a worker. The starter has reset the event before starting the thread; resetting it
// here again would swallow a stop that came before the thread ran, leaving it running.
inline void Begin(ExitEvent&) {}
inline bool Running(const ExitEvent& e) { return !e.isSet(); }
// A pause of a cycle; false when the event was set meanwhile.
inline bool Pause(const ExitEvent& e, std::chrono::milliseconds ms) { return !e.wait(ms); }
} // namespace stop

// Window message and timer numbers the workers raise (the window defines the same numbers).
namespace workermsg {
inline constexpr unsigned kMouseReadAll = 2305;
inline constexpr unsigned kKeyboardReadAll = 2817;
inline constexpr unsigned kKeyboardReadLighting = 2818;
inline constexpr unsigned kLastDeviceGone = 3077;
inline constexpr int kTimerMouseReadAll = 8;      // 500 ms after the mouse was detected
inline constexpr int kTimerMouseReadSettings = 9; // 10 ms after a settings announcement
} // namespace workermsg

// The main window as a worker sees it. PostMessage, SendMessage, SetTimer, Channel, WakeMessage
// and RunOnUi may be called from any thread; the UI operations below them run only inside a
// step given to RunOnUi. Steps and posted messages of one thread run on the UI thread in the
// order they were handed over.
class WorkerWindow {
public:
    virtual ~WorkerWindow() = default;

    virtual DeviceChannel& Channel(DeviceKind d) = 0;
    virtual void PostMessage(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) = 0;
    // Blocks until the UI thread has handled the message (returns 0 once the window stops).
    virtual std::intptr_t SendMessage(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0) = 0;
    virtual void SetTimer(int id, int ms) = 0;
    // The registered wake message number.
    virtual unsigned WakeMessage() = 0;
    virtual void RunOnUi(std::function<void()> step) = 0;

    // ---- UI thread only ----
    // Selects the stored selection of the device's device-settings catalogue in its combo
    // without taking the focus (the combo then raises "itemselect").
    virtual void SelectStoredDeviceProfile(DeviceKind d) = 0;
    virtual void SetControlVisible(std::string_view name, bool visible) = 0;
    // Selects an option control, with its notification.
    virtual void SelectOption(std::string_view name) = 0;
    virtual void SetControlFocus(std::string_view name) = 0;
    // The window's hook called each time the mouse is detected.
    virtual int OnMouseDetected() = 0;
};

// Identity a consumer-report thread matches: path vendor/product, then attributes and the
// collection's top-level usage page and usage.
struct ConsumerMatch {
    std::uint16_t vendorId;
    std::uint16_t productId;
    std::uint16_t usagePage;
    std::uint16_t usage;
};
inline constexpr ConsumerMatch kKeyboardConsumer{0x0C45, 0x6556, 0x000C, 0x0001};
inline constexpr ConsumerMatch kMouseConsumer{0x0C45, 0x7643, 0x000C, 0x0001};

// Consumer announcements of the devices.
namespace announce {
inline constexpr std::uint16_t kLightingChanged = 0x401; // keyboard lighting / mouse settings
inline constexpr std::uint16_t kProfileChanged = 0x402;  // full re-read
inline constexpr std::uint16_t kMouseEvent = 0x403;      // mouse only: the pad's flash effect
} // namespace announce

// Set by a mouse 0x403 announcement, cleared by the lighting effect that consumes it: [0] the
// mouse pad's flash effect, [1] the synchronised flash.
extern std::atomic<std::uint32_t> gMouseEventFlags[2];

// Pause of the presence watcher between cycles, in both states.
inline constexpr std::chrono::milliseconds kPresenceCycle{1500};
// Pauses of the consumer threads: searching, and between read sessions.
inline constexpr std::chrono::milliseconds kConsumerSearchPause{1000};
inline constexpr std::chrono::milliseconds kConsumerProbePause{100};

// The worker bodies. Each follows the stop protocol on its exit event and writes its exit line.
void MousePresenceWatcher(WorkerWindow& window, ExitEvent& exit);
void MouseConsumerThread(WorkerWindow& window, ExitEvent& exit);
void KeyboardConsumerThread(WorkerWindow& window, ExitEvent& exit);

// The consumer thread's own collection (vendor and product of the match), kept for the life of
// the process and separate from the device channels.
HidDevice& ConsumerDevice(DeviceKind d);

// Acts on one decoded consumer usage as the announcement table says; true when it was one of
// the announcements of that device.
bool HandleConsumerUsage(WorkerWindow& window, DeviceKind d, std::uint16_t usage);

} // namespace kavrel
