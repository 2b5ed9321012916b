// The program-link watchers: automatic profile switching by the foreground program, started
// last among the workers, in this order.
#pragma once

#include "kavrel/device/workers.h"

namespace kavrel::profiles {

void MouseDeviceLinkWatcher(WorkerWindow& window, ExitEvent& exit);
void MouseKeyLinkWatcher(WorkerWindow& window, ExitEvent& exit);

} // namespace kavrel::profiles
