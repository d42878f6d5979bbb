#pragma once

// One batch of the age window, run on a thread of its own so that the window goes on painting
// and answering (also hidden) while the files pass through the batch engine. The run owns its
// task and what the task holds (passphrases, identities), and reports to the thread that
// started it through queued calls: progress at most once per event-loop pass, each file's
// outcome as it comes, then Completed once.

#include <atomic>
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include <QObject>

#include "batch/batchplan.h"
#include "gui/base/workerthread.h"

// A file's outcome as the window lists it.
struct OutcomeRow {
    std::string name, outcome, reason;
};

class BatchRunner final : public QObject, private BatchObserver {
    Q_OBJECT

public:
    // Runs plan's task on the files of walk; those it passed by count as skipped.
    BatchRunner(BatchWalk walk, PlannedBatch plan);
    // Stops the run and waits for its thread.
    ~BatchRunner() override;

    // Lets no further file begin and stops the files in progress, which leave nothing behind.
    void Cancel() noexcept;
    void Wait();
    bool Ended() const noexcept { return ended_; }
    // After Completed: the summary as the command line words it, or the error that ended the run.
    std::string SummaryLine() const;

signals:
    // Bytes read of all the files' bytes, and files ended of all the files.
    void Progressed(std::uint64_t done, std::uint64_t total, std::size_t ended, std::size_t files);
    void FileEnded(const QString& name, const QString& outcome, const QString& reason);
    void Completed();

private:
    // On the worker.
    bool Continue(std::uint64_t done, std::uint64_t total, std::size_t ended, std::size_t files) override;
    void Finished(const BatchFile& file, const FileReport& report) override;
    void Notice(const std::string& message) override;
    void Report(OutcomeRow row);
    void Work();
    void ReportProgress();

    BatchWalk walk_;
    PlannedBatch plan_;
    std::atomic<bool> cancelled_{false};
    struct Figures {
        std::uint64_t done = 0, total = 0;
        std::size_t ended = 0, files = 0;
    };
    LatestFigures<Figures> latest_;
    std::string summary_;
    bool ended_ = false;  // set on this object's thread with Completed
    WorkerThread worker_;  // last: started once everything above exists
};
