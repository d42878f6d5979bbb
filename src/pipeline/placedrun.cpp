#include "pipeline/placedrun.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "pipeline/workerpool.h"
#include "platform/namedfailure.h"
#include "platform/posixfile.h"
#include "platform/secretbytes.h"

namespace {
void ReadBatch(const PlacedRun& run, std::uint8_t* buffer, std::size_t count, std::uint64_t offset)
{
    const std::size_t read =
        NamingFailures(run.inputName, [&] { return ReadFullAt(run.input, buffer, count, offset, run.calls); });
    if (read < count) throw InputChanged(run.inputName);
}

// What the threads of one run share.
struct Progress {
    std::uint64_t batches;
    std::atomic<std::uint64_t> next{0};  // the first batch no thread has taken
    std::atomic<bool> stop{false};
    bool cancelled = false;  // the calling thread's: the observer asked to stop
    std::uint64_t told = 0;  // the calling thread's: the batches it has told the observer of
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t written = 0;  // batches written
    std::size_t working = 0;    // helpers that have not yet ended
    // The failure of the batch with the lowest number, which a run in order would have met
    // first: every batch below a failing one has been taken, and is seen to its end.
    std::exception_ptr failure;
    std::uint64_t failedBatch = 0;

    void Fail(std::uint64_t batch, std::exception_ptr error)
    {
        stop = true;
        const std::lock_guard lock(mutex);
        if (!failure || batch < failedBatch) {
            failure = error;
            failedBatch = batch;
        }
    }
};

// Tells the observer of each batch written since it was last told, in the order of their
// number; false once it asked to stop, which stops the run.
bool TellWritten(const PlacedRun& run, Progress& progress, std::uint64_t written)
{
    for (; progress.told < written; ++progress.told) {
        const std::uint64_t done = std::min(run.inputBytes, (progress.told + 1) * run.inputBatchBytes);
        if (run.observer && !run.observer->Continue(run.inputStart + done, run.inputStart + run.inputBytes)) {
            progress.cancelled = true;
            progress.stop = true;
            return false;
        }
    }
    return true;
}

// Takes batches until none is left or the run stops, calling written() after each; a batch
// that fails stops the run.
template <class Written>
void RunBatches(const PlacedRun& run, const PlacedTransform& transform, Progress& progress, std::size_t thread,
                Written written)
{
    SecretBuffer in, out;  // allocated at this thread's first batch: a thread may get none
    for (std::uint64_t batch; !progress.stop && (batch = progress.next++) < progress.batches;) {
        if (in.empty()) {
            in = SecretBuffer(run.inputBatchBytes);
            out = SecretBuffer(run.outputBatchBytes);
        }
        try {
            const std::uint64_t offset = batch * run.inputBatchBytes;
            const auto count =
                static_cast<std::size_t>(std::min<std::uint64_t>(run.inputBatchBytes, run.inputBytes - offset));
            ReadBatch(run, in.data(), count, run.inputStart + offset);
            const std::size_t produced =
                transform(thread, batch, in.data(), count, batch + 1 == progress.batches, out.data());
            run.output.WriteAt(out.data(), produced, run.outputStart + batch * run.outputBatchBytes);
        } catch (...) {
            progress.Fail(batch, std::current_exception());
            return;
        }
        written();
    }
}

// A helper's share: batches, each counted when written.
void HelpWithBatches(const PlacedRun& run, const PlacedTransform& transform, Progress& progress, std::size_t thread)
{
    const auto changing = [&](auto change) {
        {
            const std::lock_guard lock(progress.mutex);
            change();
        }
        progress.changed.notify_one();
    };
    RunBatches(run, transform, progress, thread, [&] { changing([&] { ++progress.written; }); });
    changing([&] { --progress.working; });
}

// The calling thread, while helpers work: tells the observer of each batch written, until all
// have ended.
void ReportWhileHelpersWork(const PlacedRun& run, Progress& progress)
{
    std::unique_lock lock(progress.mutex);
    for (;;) {
        progress.changed.wait(lock, [&] { return progress.written > progress.told || progress.working == 0; });
        if (progress.stop || progress.written == progress.told) return;
        const std::uint64_t written = progress.written;
        lock.unlock();
        const bool goOn = TellWritten(run, progress, written);
        lock.lock();
        if (!goOn) return;
    }
}
}  // namespace

bool RunPlaced(const PlacedRun& run, const PlacedTransform& transform)
{
    Progress progress;
    progress.batches = std::max<std::uint64_t>(1, (run.inputBytes + run.inputBatchBytes - 1) / run.inputBatchBytes);
    // One helper per thread, and the calling thread tells the observer; with none, it works alone.
    WorkerPool pool(run.threads > 1 ? static_cast<std::size_t>(std::min<std::uint64_t>(run.threads, progress.batches)) : 0);
    const std::size_t helpers = pool.Capacity() - 1;
    progress.working = helpers;
    pool.Run(pool.Capacity(), [&](std::size_t task) {
        if (task > 0) return HelpWithBatches(run, transform, progress, task - 1);
        if (helpers > 0) return ReportWhileHelpersWork(run, progress);
        RunBatches(run, transform, progress, 0, [&] { TellWritten(run, progress, progress.told + 1); });
    });
    if (progress.failure) std::rethrow_exception(progress.failure);
    if (progress.cancelled) return false;
    if (::lseek(run.input, static_cast<off_t>(run.inputStart + run.inputBytes), SEEK_SET) < 0)
        throw IoError::FromErrno(errno, run.inputName);
    return true;
}
