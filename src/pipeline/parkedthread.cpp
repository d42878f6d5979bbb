#include "pipeline/parkedthread.h"

#include <pthread.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "common/wipe.h"

struct ParkedThread::Worker {
    std::mutex mutex;
    std::condition_variable changed;
    std::function<void()> body;  // handed over, not yet taken by the thread
    bool running = false;        // from the handing over until the body has returned
};

namespace {
// The parked threads. Never destroyed: they wait on past the end of main.
struct Park {
    std::mutex mutex;
    std::vector<ParkedThread::Worker*> idle;
};

Park& ThePark()
{
    static Park* const park = [] {
        auto* made = new Park;
        // A child of fork has none of the parent's threads: it starts an empty park.
        ::pthread_atfork([] { ThePark().mutex.lock(); }, [] { ThePark().mutex.unlock(); },
                         [] {
                             ThePark().idle.clear();
                             ThePark().mutex.unlock();
                         });
        return made;
    }();
    return *park;
}

void Serve(ParkedThread::Worker* worker)
{
    std::unique_lock lock(worker->mutex);
    for (;;) {
        worker->changed.wait(lock, [&] { return worker->body != nullptr; });
        std::function<void()> body = std::exchange(worker->body, nullptr);
        lock.unlock();
        body();
        body = nullptr;  // what it holds goes before the joiner hears of the end
        // A body may leave key material on the stack (a library's assembly spills it), which
        // would otherwise stay there while the thread waits for the next.
        WipeStackBelow();
        lock.lock();
        worker->running = false;
        worker->changed.notify_all();
    }
}
}  // namespace

ParkedThread::ParkedThread(std::function<void()> body)
{
    Park& park = ThePark();
    {
        const std::lock_guard lock(park.mutex);
        if (!park.idle.empty()) {
            worker_ = park.idle.back();
            park.idle.pop_back();
        }
    }
    if (!worker_) {
        auto* fresh = new Worker;
        try {
            std::thread(Serve, fresh).detach();
        } catch (...) {
            delete fresh;
            throw;
        }
        worker_ = fresh;
    }
    {
        const std::lock_guard lock(worker_->mutex);
        worker_->running = true;
        worker_->body = std::move(body);
    }
    worker_->changed.notify_all();
}

ParkedThread& ParkedThread::operator=(ParkedThread&& other) noexcept
{
    if (this != &other) {
        join();
        worker_ = std::exchange(other.worker_, nullptr);
    }
    return *this;
}

void ParkedThread::join()
{
    if (!worker_) return;
    {
        std::unique_lock lock(worker_->mutex);
        worker_->changed.wait(lock, [&] { return !worker_->running; });
    }
    Park& park = ThePark();
    const std::lock_guard lock(park.mutex);
    park.idle.push_back(std::exchange(worker_, nullptr));
}
