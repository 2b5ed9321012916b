#include "kavrel/profiles/link_watchers.h"

namespace kavrel::profiles {

// Each watcher keeps the stop protocol; the foreground check goes inside its loop. Until then
// it only waits for its stop, so it costs no wake-ups.
constexpr std::chrono::hours kIdlePause{1};

void MouseDeviceLinkWatcher(WorkerWindow&, ExitEvent& exit) {
    stop::Begin(exit);
    while (stop::Running(exit))
        stop::Pause(exit, kIdlePause);
}

void MouseKeyLinkWatcher(WorkerWindow&, ExitEvent& exit) {
    stop::Begin(exit);
    while (stop::Running(exit))
        stop::Pause(exit, kIdlePause);
}

} // namespace kavrel::profiles
