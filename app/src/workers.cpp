#include "kavrel/app/workers.h"

#include "worker_threads.h"

#include "kavrel/os/diag.h"

#include <array>

namespace kavrel::app {

std::string_view workerName(Worker w) {
    switch (w) {
    case Worker::MousePresenceWatcher: return "MousePresenceWatcher";
    case Worker::MouseConsumerThread: return "MouseConsumerThread";
    case Worker::KeyboardConsumerThread: return "KeyboardConsumerThread";
    case Worker::KeyboardLightingThread: return "KeyboardLightingThread";
    case Worker::MouseLightingThread: return "MouseLightingThread";
    case Worker::PadLightingThread: return "PadLightingThread";
    case Worker::SyncLightingThread: return "SyncLightingThread";
    case Worker::MouseDeviceLinkWatcher: return "MouseDeviceLinkWatcher";
    case Worker::MouseKeyLinkWatcher: return "MouseKeyLinkWatcher";
    }
    return "?";
}

namespace {
std::mutex bodiesMutex;
std::array<WorkerBody, kWorkerCount>& bodies() {
    static std::array<WorkerBody, kWorkerCount> b;
    return b;
}
} // namespace

void setWorkerBody(Worker w, WorkerBody body) {
    std::lock_guard lock(bodiesMutex);
    bodies()[static_cast<std::size_t>(w)] = std::move(body);
}

WorkerBody workerBody(Worker w) {
    std::lock_guard lock(bodiesMutex);
    return bodies()[static_cast<std::size_t>(w)];
}

WorkerThreads::~WorkerThreads() {
    // Threads still running after the wait are left to the process exit.
    for (auto& t : threads_)
        if (t.joinable())
            t.detach();
}

void WorkerThreads::start(Worker w, WorkerBody body, WorkerStart start) {
    auto state = state_;
    const auto index = static_cast<std::size_t>(w);
    {
        std::lock_guard lock(state->m);
        state->running[index] = true;
    }
    threads_.emplace_back([state, index, body = std::move(body), start] {
        body(start);
        {
            std::lock_guard lock(state->m);
            state->running[index] = false;
        }
        state->cv.notify_all();
    });
}

StopOutcome WorkerThreads::waitAll(std::chrono::milliseconds timeout) {
    std::unique_lock lock(state_->m);
    const bool ended = state_->cv.wait_for(lock, timeout, [this] {
        for (bool r : state_->running)
            if (r)
                return false;
        return true;
    });
    lock.unlock();
    if (ended) {
        for (auto& t : threads_)
            if (t.joinable())
                t.join();
        threads_.clear();
        return StopOutcome::AllEnded;
    }
    return StopOutcome::TimedOut;
}

bool WorkerThreads::isRunning(Worker w) const {
    std::lock_guard lock(state_->m);
    return state_->running[static_cast<std::size_t>(w)];
}

} // namespace kavrel::app
