// Worker bookkeeping: the long-running threads the main window starts at "windowinit" and
// stops at exit, each with its own manual-reset exit event.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string_view>

#include "kavrel/device/workers.h"

namespace kavrel::app {

class CMainWnd;

// In start order.
enum class Worker : std::size_t {
    MousePresenceWatcher,
    MouseConsumerThread,
    KeyboardConsumerThread,
    KeyboardLightingThread,
    MouseLightingThread,
    PadLightingThread,
    SyncLightingThread,
    MouseDeviceLinkWatcher,
    MouseKeyLinkWatcher,
};
inline constexpr std::size_t kWorkerCount = 9;
std::string_view workerName(Worker w);

// The manual-reset exit event of the stop protocol, shared with the workers of the device,
// lighting and profile areas (kavrel/device/workers.h).
using ExitEvent = kavrel::ExitEvent;

// What each worker receives: the main window and its own exit event. A worker follows the stop
// protocol: reset the event on entry, leave its loop when a 1 ms wait on it succeeds.
struct WorkerStart {
    CMainWnd* window = nullptr;
    ExitEvent* exitEvent = nullptr;
};
using WorkerBody = std::function<void(WorkerStart)>;

// Bodies are installed by the features that own them, before "windowinit"; a worker without a
// body is not started.
void setWorkerBody(Worker w, WorkerBody body);
WorkerBody workerBody(Worker w);

// The threads of one StartWorkers call (defined in the implementation).
class WorkerThreads;

// Outcome of waiting for the workers, with the diagnostic line it writes.
enum class StopOutcome { AllEnded, TimedOut };

} // namespace kavrel::app
