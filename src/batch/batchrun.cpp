#include "batch/batchrun.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "common/error.h"
#include "pipeline/cores.h"

namespace {
// A file's end, or a notice, from a job to the batch's thread.
struct Event {
    std::optional<std::size_t> file;
    FileReport report;
    std::string notice;
};

struct Shared {
    std::atomic<std::uint64_t> done{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Event> events;
    std::size_t jobsEnded = 0;

    void Post(Event event)
    {
        const std::lock_guard lock(mutex);
        events.push_back(std::move(event));
        changed.notify_one();
    }
};

// Adds a run's progress to the batch's and stops the run when the batch stops. pump: the
// batch's own duties, when the job runs on the batch's thread.
class JobObserver final : public FileOpObserver {
public:
    JobObserver(Shared& shared, bool counts, std::function<void()> pump)
        : shared_(shared), counts_(counts), pump_(std::move(pump))
    {
    }
    bool Continue(std::uint64_t done, std::optional<std::uint64_t>) override
    {
        if (counts_ && done > counted_) {
            shared_.done += done - counted_;
            counted_ = done;
        }
        if (pump_) pump_();
        return !shared_.stop;
    }
    void Notice(const std::string& message) override { shared_.Post({std::nullopt, {}, message}); }
    // A file's whole size counts once it has ended, however far it was read.
    void EndFile(std::uint64_t size)
    {
        if (counts_ && size > counted_) shared_.done += size - counted_;
        counted_ = 0;
    }

private:
    Shared& shared_;
    bool counts_;
    std::function<void()> pump_;
    std::uint64_t counted_ = 0;
};

FileReport RunOne(const BatchTask& task, const BatchFile& file, const BatchJob& job, const Shared& shared)
{
    try {
        return task.Run(file, job);
    } catch (...) {
        const auto error = std::current_exception();
        return {shared.stop ? BatchOutcome::Stopped : OutcomeOfError(error), {}, error};
    }
}

struct Jobs {
    const std::vector<BatchFile>& files;
    const BatchTask& task;
    const SystemCalls& calls;
    std::size_t cipherThreads;
    std::atomic<std::size_t> next{0};
};

void Work(Jobs& jobs, Shared& shared, const std::function<void()>& pump)
{
    JobObserver counted(shared, true, pump), quiet(shared, false, pump);
    const BatchJob job{{&counted, &jobs.calls, kFileChunkBytes, jobs.cipherThreads},
                       {&quiet, &jobs.calls, kFileChunkBytes, jobs.cipherThreads}};
    const auto& files = jobs.files;
    while (!shared.stop) {
        const std::size_t index = jobs.next++;
        if (index >= files.size()) break;
        FileReport report = RunOne(jobs.task, files[index], job, shared);
        counted.EndFile(files[index].size);
        shared.Post({index, std::move(report), {}});
        if (pump) pump();
    }
}

class Batch {
public:
    Batch(const std::vector<BatchFile>& files, BatchObserver& observer) : files_(files), observer_(observer)
    {
        for (const BatchFile& file : files) total_ += file.size;
    }

    // Tells the observer what the jobs posted, and asks it whether to go on.
    void Pump()
    {
        std::deque<Event> events;
        {
            const std::lock_guard lock(shared.mutex);
            events.swap(shared.events);
        }
        for (Event& event : events) Tell(event);
        if (!observer_.Continue(shared.done, total_, ended_, files_.size())) shared.stop = true;
    }

    void WaitForJobs(std::size_t jobs)
    {
        for (;;) {
            {
                std::unique_lock lock(shared.mutex);
                shared.changed.wait_for(lock, std::chrono::milliseconds(100),
                                        [&] { return !shared.events.empty() || shared.jobsEnded == jobs; });
                if (shared.jobsEnded == jobs && shared.events.empty()) break;
            }
            Pump();
        }
    }

    BatchSummary Summary() { return summary_; }

    Shared shared;

private:
    void Tell(const Event& event)
    {
        if (!event.file) return observer_.Notice(event.notice);
        const BatchFile& file = files_[*event.file];
        ++ended_;
        switch (event.report.outcome) {
        case BatchOutcome::Done: ++summary_.done, summary_.bytes += file.size; break;
        case BatchOutcome::AlreadyDone: ++summary_.alreadyDone, summary_.bytes += file.size; break;
        case BatchOutcome::Unverified: ++summary_.unverified, summary_.bytes += file.size; break;
        case BatchOutcome::Skipped: ++summary_.skipped; break;
        case BatchOutcome::Failed: ++summary_.failed; break;
        case BatchOutcome::Stopped: ++summary_.stopped; break;
        case BatchOutcome::PassedOver: return;
        }
        observer_.Finished(file, event.report);
    }

    const std::vector<BatchFile>& files_;
    BatchObserver& observer_;
    std::uint64_t total_ = 0;
    std::size_t ended_ = 0;
    BatchSummary summary_;
};
}  // namespace

BatchOutcome OutcomeOfError(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const ZorvantaError& e) {
        switch (e.kind()) {
        case ErrorKind::Refused: return BatchOutcome::Skipped;
        case ErrorKind::Stopped: return BatchOutcome::Stopped;
        case ErrorKind::Damaged:
        case ErrorKind::Io:
        case ErrorKind::Internal: break;
        }
    } catch (...) {
    }
    return BatchOutcome::Failed;
}

std::optional<SharedOutput> FindSharedOutput(const std::vector<BatchFile>& files, const BatchTask& task)
{
    std::unordered_map<std::string, std::size_t> writers;
    for (std::size_t index = 0; index < files.size(); ++index) {
        const auto output = task.OutputOf(files[index]);
        if (!output) continue;
        const std::string path = std::filesystem::path(*output).lexically_normal().string();
        const auto [earlier, fresh] = writers.emplace(path, index);
        if (!fresh) return SharedOutput{files[earlier->second].path, files[index].path, *output};
    }
    return std::nullopt;
}

BatchSummary RunBatch(const std::vector<BatchFile>& files, const BatchTask& task, std::size_t jobCount,
                      BatchObserver& observer, const SystemCalls& calls)
{
    const auto start = std::chrono::steady_clock::now();
    Batch batch(files, observer);
    const std::size_t jobs = std::clamp<std::size_t>(jobCount, 1, std::max<std::size_t>(files.size(), 1));
    Jobs work{files, task, calls, std::max<std::size_t>(1, UsableCores() / jobs)};
    {
        std::vector<std::jthread> workers;
        // Jobs whose thread cannot start are left out; with none, the batch runs on this thread.
        try {
            for (std::size_t job = 0; job < jobs; ++job)
                workers.emplace_back([&] {
                    Work(work, batch.shared, nullptr);
                    const std::lock_guard lock(batch.shared.mutex);
                    ++batch.shared.jobsEnded;
                    batch.shared.changed.notify_one();
                });
        } catch (const std::system_error&) {
        }
        if (workers.empty()) {
            Work(work, batch.shared, [&batch] { batch.Pump(); });
        } else {
            batch.WaitForJobs(workers.size());
        }
    }
    batch.Pump();
    BatchSummary summary = batch.Summary();
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return summary;
}
