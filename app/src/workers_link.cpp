#include "kavrel/app/window_workers.h"

#include "kavrel/app/main_window.h"
#include "kavrel/app/messages.h"
#include "kavrel/lighting/lighting_threads.h"
#include "kavrel/os/diag.h"
#include "kavrel/skin/control.h"
#include "kavrel/skin/controls.h"
#include "kavrel/skin/thread.h"

#include <pthread.h>

#ifdef KAVREL_APP_HAVE_PROFILES
#include "kavrel/profiles/link_watchers.h"
#include "kavrel/profiles/profile_list.h"
#endif

namespace kavrel::app {

// The workers raise the window's own numbers.
static_assert(workermsg::kMouseReadAll == msg::kMouseReadAll);
static_assert(workermsg::kKeyboardReadAll == msg::kKeyboardReadAll);
static_assert(workermsg::kKeyboardReadLighting == msg::kKeyboardReadLighting);
static_assert(workermsg::kLastDeviceGone == msg::kLastDeviceGone);
static_assert(workermsg::kTimerMouseReadAll == timer::kMouseReadAll);
static_assert(workermsg::kTimerMouseReadSettings == timer::kMouseReadSettings);

namespace {
QString qname(std::string_view name) { return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())); }
} // namespace

DeviceChannel& MainWindowWorkerLink::Channel(DeviceKind d) { return window_.channel(d); }

void MainWindowWorkerLink::PostMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    window_.PostMessage(msg, wParam, lParam);
}

std::intptr_t MainWindowWorkerLink::SendMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    return window_.SendMessage(msg, wParam, lParam);
}

void MainWindowWorkerLink::SetTimer(int id, int ms) { window_.SetTimer(id, ms); }

unsigned MainWindowWorkerLink::WakeMessage() { return wakeMessage(); }

void MainWindowWorkerLink::RunOnUi(std::function<void()> step) {
    // Queued behind the window's posted messages of this thread, so the order holds.
    CMainWnd* window = &window_;
    skin::postToUi([keep = shared_from_this(), window, step = std::move(step)] {
        if (CMainWnd::instance() == window)
            step();
    });
}

void MainWindowWorkerLink::SelectStoredDeviceProfile(DeviceKind d) {
#ifdef KAVREL_APP_HAVE_PROFILES
    if (d == DeviceKind::Mouse) {
        if (!profiles::selectStoredMouseDeviceProfile(window_))
            os::debugLine("ms_device_profile_combo: the stored selection is not in the list");
        return;
    }
#endif
    os::debugf("%s device profile selection: not built yet", std::string(devicePrefix(d)).c_str());
}

void MainWindowWorkerLink::SetControlVisible(std::string_view name, bool visible) {
    if (skin::Control* c = window_.find(qname(name)))
        c->setVisible(visible);
}

void MainWindowWorkerLink::SelectOption(std::string_view name) {
    if (auto* option = window_.find<skin::Option>(qname(name)))
        option->setSelected(true, true);
}

void MainWindowWorkerLink::SetControlFocus(std::string_view name) {
    if (skin::Control* c = window_.find(qname(name)))
        c->setFocus();
}

namespace {

// Thread names (at most 15 characters) tell the workers apart in ps, top and /proc.
template <void (*Body)(WorkerWindow&, ExitEvent&)>
WorkerBody over(const char* threadName) {
    return [threadName](WorkerStart start) {
        pthread_setname_np(pthread_self(), threadName);
        auto link = std::make_shared<MainWindowWorkerLink>(*start.window);
        Body(*link, *start.exitEvent);
    };
}

} // namespace

void installWorkerBodies() {
    setWorkerBody(Worker::MousePresenceWatcher, over<MousePresenceWatcher>("ms-presence"));
    setWorkerBody(Worker::MouseConsumerThread, over<MouseConsumerThread>("ms-consumer"));
    setWorkerBody(Worker::KeyboardConsumerThread, over<KeyboardConsumerThread>("kb-consumer"));
    setWorkerBody(Worker::KeyboardLightingThread, over<lighting::KeyboardLightingThread>("kb-lighting"));
    setWorkerBody(Worker::MouseLightingThread, over<lighting::MouseLightingThread>("ms-lighting"));
    setWorkerBody(Worker::PadLightingThread, over<lighting::PadLightingThread>("mp-lighting"));
    setWorkerBody(Worker::SyncLightingThread, over<lighting::SyncLightingThread>("sync-lighting"));
#ifdef KAVREL_APP_HAVE_PROFILES
    setWorkerBody(Worker::MouseDeviceLinkWatcher, over<profiles::MouseDeviceLinkWatcher>("ms-device-link"));
    setWorkerBody(Worker::MouseKeyLinkWatcher, over<profiles::MouseKeyLinkWatcher>("ms-key-link"));
#endif
}

} // namespace kavrel::app
