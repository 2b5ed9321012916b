#include "kavrel/lighting/lighting_threads.h"

namespace kavrel::lighting {

// Each thread keeps the stop protocol; the animation steps go inside its loop. Until then a
// thread only waits for its stop, so it costs no wake-ups.
constexpr std::chrono::hours kIdlePause{1};

void KeyboardLightingThread(WorkerWindow&, ExitEvent& exit) {
    stop::Begin(exit);
    while (stop::Running(exit))
        stop::Pause(exit, kIdlePause);
}

void MouseLightingThread(WorkerWindow&, ExitEvent& exit) {
    stop::Begin(exit);
    while (stop::Running(exit))
        stop::Pause(exit, kIdlePause);
}

void PadLightingThread(WorkerWindow&, ExitEvent& exit) {
    stop::Begin(exit);
    while (stop::Running(exit))
        stop::Pause(exit, kIdlePause);
}

void SyncLightingThread(WorkerWindow&, ExitEvent& exit) {
    stop::Begin(exit);
    while (stop::Running(exit))
        stop::Pause(exit, kIdlePause);
}

} // namespace kavrel::lighting
