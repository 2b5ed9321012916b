// Handing work to the UI thread from any thread. Needs the QApplication to exist; the UI thread
// is the thread that created it.
#pragma once

#include <functional>

namespace kavrel::skin {

bool isUiThread();

// Queues fn to run on the UI thread and returns at once. Work posted by one thread runs in the
// order it was posted, and in order with sendToUi calls of that thread.
void postToUi(std::function<void()> fn);

// Runs fn on the UI thread and returns when it has run: inline on the UI thread itself,
// otherwise queued behind earlier posted work and waited for. Never call it from a worker
// while the UI thread waits for that worker (for example while joining it): that deadlocks.
// Returns false, without running fn, when the application is shutting down.
bool sendToUi(std::function<void()> fn);

} // namespace kavrel::skin
