#include "pipeline/workerpool.h"

#include <system_error>

WorkerPool::WorkerPool(std::size_t helpers)
{
    helpers_.reserve(helpers);
    // A thread that does not start (a process at its limit) leaves the work to those that did,
    // down to the calling thread alone.
    for (std::size_t i = 0; i < helpers; ++i) {
        try {
            helpers_.emplace_back([this, i] { Serve(i + 1); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

WorkerPool::~WorkerPool()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
}

void WorkerPool::Run(std::size_t count, const std::function<void(std::size_t)>& task)
{
    if (count == 0) return;
    {
        const std::lock_guard lock(mutex_);
        task_ = &task;
        count_ = count;
        pending_ = count - 1;
        failure_ = nullptr;
        ++generation_;
    }
    if (count > 1) wake_.notify_all();
    std::exception_ptr own;
    try {
        task(0);
    } catch (...) {
        own = std::current_exception();
    }
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [this] { return pending_ == 0; });
    task_ = nullptr;
    if (own) std::rethrow_exception(own);
    if (failure_) std::rethrow_exception(failure_);
}

void WorkerPool::Serve(std::size_t index)
{
    std::size_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
        if (stopping_) return;
        seen = generation_;
        if (index >= count_) continue;  // not needed for this batch
        const auto& task = *task_;
        lock.unlock();
        std::exception_ptr failure;
        try {
            task(index);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure && !failure_) failure_ = failure;
        if (--pending_ == 0) finished_.notify_one();
    }
}
