#pragma once

// What a window's run on a thread of its own needs: the thread, and its latest figures handed
// to the window's thread at most once per event-loop pass, so that a fast engine does not
// flood the event loop.

#include <mutex>
#include <system_error>
#include <thread>

class WorkerThread {
public:
    // Runs work on a new thread, or on the calling thread before this returns where no thread
    // can be started (a process at its limit).
    template <class Work>
    void Start(Work work)
    {
        try {
            thread_ = std::thread(work);
        } catch (const std::system_error&) {
            work();
        }
    }
    // Blocks until the work has ended.
    void Join()
    {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
};

template <class Figures>
class LatestFigures {
public:
    // On the worker: keeps figures; true when the caller is to queue a pass that takes them
    // (none is queued yet).
    bool Keep(const Figures& figures)
    {
        std::lock_guard lock(mutex_);
        latest_ = figures;
        const bool queue = !queued_;
        queued_ = true;
        return queue;
    }
    // In the queued pass: the latest figures; the next Keep queues a pass again.
    Figures Take()
    {
        std::lock_guard lock(mutex_);
        queued_ = false;
        return latest_;
    }

private:
    std::mutex mutex_;
    Figures latest_{};
    bool queued_ = false;
};
