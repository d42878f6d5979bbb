#pragma once

// Threads that wait, parked, between the runs they serve, so that a program running many
// files one after another (the file windows, a fuzz target) does not start new threads for
// every run. A body runs on a parked thread when one is free, else on a new one.

#include <functional>

class ParkedThread {
public:
    struct Worker;  // a thread of the park and what it is handed

    ParkedThread() = default;
    // Runs body, which must not raise, on a parked thread or a new one; raises
    // std::system_error when none is free and none can be started.
    explicit ParkedThread(std::function<void()> body);
    ParkedThread(ParkedThread&& other) noexcept : worker_(other.worker_) { other.worker_ = nullptr; }
    ParkedThread& operator=(ParkedThread&& other) noexcept;
    // Joins.
    ~ParkedThread() { join(); }

    bool joinable() const noexcept { return worker_ != nullptr; }
    // Waits until the body has returned; the thread is parked again.
    void join();

private:
    Worker* worker_ = nullptr;
};
