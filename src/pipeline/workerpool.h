#pragma once

// A few threads kept for one run, so that each batch of work is split across the cores
// without starting a thread per batch. Helpers that cannot be started are done without.

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>

#include "pipeline/parkedthread.h"

class WorkerPool {
public:
    // Starts up to helpers threads, as many as the system gives.
    explicit WorkerPool(std::size_t helpers);
    // Stops the helpers and joins them.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // The calling thread and the helpers together: at most helpers + 1 tasks.
    std::size_t Capacity() const noexcept { return helpers_.size() + 1; }
    // Runs task(0) .. task(count - 1), task(0) on the calling thread and the rest on helpers;
    // returns when all have finished and raises the first exception any of them raised.
    void Run(std::size_t count, const std::function<void(std::size_t)>& task);

private:
    void Serve(std::size_t index);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    const std::function<void(std::size_t)>* task_ = nullptr;
    std::size_t count_ = 0;
    std::size_t pending_ = 0;
    std::size_t generation_ = 0;
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::vector<ParkedThread> helpers_;  // last: joined before the rest goes
};
