// The software lighting animation threads, started with the other workers in this order.
#pragma once

#include "kavrel/device/workers.h"

namespace kavrel::lighting {

void KeyboardLightingThread(WorkerWindow& window, ExitEvent& exit);
void MouseLightingThread(WorkerWindow& window, ExitEvent& exit);
void PadLightingThread(WorkerWindow& window, ExitEvent& exit);
void SyncLightingThread(WorkerWindow& window, ExitEvent& exit);

} // namespace kavrel::lighting
