// The threads of one StartWorkers call and their shutdown wait.
#pragma once

#include "kavrel/app/workers.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kavrel::app {

class WorkerThreads {
public:
    ~WorkerThreads();
    void start(Worker w, WorkerBody body, WorkerStart start);
    // Waits until every started worker has returned or the timeout passed. On success the
    // threads are joined; otherwise they are left running (and detached on destruction).
    StopOutcome waitAll(std::chrono::milliseconds timeout);
    bool isRunning(Worker w) const;

private:
    struct State {
        std::mutex m;
        std::condition_variable cv;
        std::array<bool, kWorkerCount> running{};
    };
    // Shared with the threads, so a worker that outlives the bookkeeping still has its state.
    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::vector<std::thread> threads_;
};

} // namespace kavrel::app
