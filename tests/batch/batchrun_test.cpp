// RunBatch with a task of the test's own: how each file's error is counted, how a stop ends
// the batch, and that a batch whose threads cannot start still runs every file.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#include "age/ageerror.h"
#include "batch/batchrun.h"
#include "platform/outputfile.h"
#include "platform/posixfile.h"
#include "platform/stoprequest.h"

extern "C" void ZorvantaShimAllowThreads(long count);
extern "C" long ZorvantaShimRefusedThreads();

namespace {
// A task that runs a function of the file's index.
class FakeTask final : public BatchTask {
public:
    explicit FakeTask(std::function<FileReport(std::size_t)> run) : run_(std::move(run)) {}
    FileReport Run(const BatchFile& file, const BatchJob&) const override { return run_(std::stoul(file.path)); }
    std::optional<std::string> OutputOf(const BatchFile&) const override { return std::nullopt; }

private:
    std::function<FileReport(std::size_t)> run_;
};

// Keeps what it is told; stops the batch once stopAfter files have ended.
class Recorder final : public BatchObserver {
public:
    std::size_t stopAfter = SIZE_MAX;
    std::atomic<bool> stopped = false;
    std::vector<std::pair<std::string, BatchOutcome>> finished;
    bool Continue(std::uint64_t, std::uint64_t, std::size_t ended, std::size_t) override
    {
        if (ended >= stopAfter) stopped = true;
        return !stopped;
    }
    void Finished(const BatchFile& file, const FileReport& report) override
    {
        finished.emplace_back(file.path, report.outcome);
    }
    void Notice(const std::string&) override {}
};

std::vector<BatchFile> Files(std::size_t count)
{
    std::vector<BatchFile> files;
    for (std::size_t i = 0; i < count; ++i) files.push_back({std::to_string(i), std::to_string(i), 10});
    return files;
}
}  // namespace

TEST(RunBatch, EachErrorCountsByItsKind)
{
    const std::function<void()> raises[] = {
        [] { throw AgeError::IncorrectPassphrase(); },          // refused: skipped
        [] { throw OutputExists("x"); },                        // refused: skipped
        [] { throw InputChanged("x"); },                        // refused: skipped
        [] { throw AgeError::ChunkFailed(); },                  // damaged: failed
        [] { throw AgeError::Truncated(); },                    // damaged: failed
        [] { throw IoError(iocode::kDiskFull); },               // I/O: failed
        [] { throw ZorvantaError("OpenSSL failed"); },          // internal: failed
        [] { throw std::runtime_error("not ours"); },           // failed
        [] { throw std::bad_alloc(); },                         // failed
        [] { throw StopRequested(SIGINT); },                    // stopped, not told
    };
    const BatchOutcome expected[] = {BatchOutcome::Skipped, BatchOutcome::Skipped, BatchOutcome::Skipped,
                                     BatchOutcome::Failed,  BatchOutcome::Failed,  BatchOutcome::Failed,
                                     BatchOutcome::Failed,  BatchOutcome::Failed,  BatchOutcome::Failed,
                                     BatchOutcome::Stopped};
    for (std::size_t i = 0; i < std::size(raises); ++i) {
        std::exception_ptr error;
        try {
            raises[i]();
        } catch (...) {
            error = std::current_exception();
        }
        EXPECT_EQ(OutcomeOfError(error), expected[i]) << i;
    }
    const FakeTask task([&](std::size_t i) -> FileReport {
        if (i < std::size(raises)) raises[i]();
        return {};
    });
    Recorder recorder;
    const BatchSummary summary = RunBatch(Files(std::size(raises) + 2), task, 3, recorder);
    EXPECT_EQ(summary.done, 2u);
    EXPECT_EQ(summary.skipped, 3u);
    EXPECT_EQ(summary.failed, 6u);
    EXPECT_EQ(summary.stopped, 1u);
    EXPECT_EQ(summary.bytes, 20u);
    EXPECT_EQ(recorder.finished.size(), std::size(raises) + 2);
}

TEST(RunBatch, AStopLetsNoFurtherFileBegin)
{
    Recorder recorder;
    recorder.stopAfter = 1;
    std::atomic<std::size_t> begun = 0;
    const FakeTask task([&](std::size_t i) {
        ++begun;
        // Every file after the first lasts until the batch has decided to stop.
        while (i > 0 && !recorder.stopped) std::this_thread::yield();
        return FileReport{};
    });
    const BatchSummary summary = RunBatch(Files(50), task, 1, recorder);
    // The file in progress ends; at most one more begins in the moment between the decision
    // and the stop.
    EXPECT_LE(begun.load(), 3u);
    EXPECT_EQ(summary.done, begun.load());
    EXPECT_EQ(recorder.finished.size(), begun.load());
}

TEST(RunBatch, JobsWhoseThreadsCannotStartLeaveTheWorkToTheOthers)
{
    for (const long threads : {0L, 1L}) {
        std::mutex mutex;
        std::set<std::size_t> ran;
        const FakeTask task([&](std::size_t i) {
            const std::lock_guard lock(mutex);
            ran.insert(i);
            return FileReport{};
        });
        Recorder recorder;
        const long refusedBefore = ZorvantaShimRefusedThreads();
        ZorvantaShimAllowThreads(threads);
        const BatchSummary summary = RunBatch(Files(20), task, 4, recorder);
        ZorvantaShimAllowThreads(-1);
        EXPECT_GT(ZorvantaShimRefusedThreads(), refusedBefore) << threads;
        EXPECT_EQ(summary.done, 20u) << threads;
        EXPECT_EQ(ran.size(), 20u) << threads;
    }
}
