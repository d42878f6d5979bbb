#pragma once

// Runs one task over many files, several at once: each job takes the next file when it is
// done with one. Every file ends in one outcome, told to the caller on its own thread as it
// comes, and the batch in a summary. A stop request lets no further file begin and stops the
// files in progress, which leave nothing behind.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "batch/batchwalk.h"
#include "pipeline/fileoutcome.h"

enum class BatchOutcome {
    Done,         // the task's work was carried out
    AlreadyDone,  // an earlier run carried it out: its output exists and was verified
    Unverified,   // check: a legacy file whose passphrase fits; the legacy format cannot check the rest
    Skipped,      // not this task's to do (not encrypted under this passphrase, an existing output…)
    Failed,       // an I/O error, or something the system did not give
    PassedOver,   // not counted: a file the task never takes (an age file met by reseal)
    Stopped,      // a stop request ended it; nothing was left behind
};

struct FileReport {
    BatchOutcome outcome = BatchOutcome::Done;
    std::string detail;        // what was made, or why not, as a sentence's end
    std::exception_ptr error;  // the error that skipped or failed the file, when one did
};

// What one job gives the task for a file: the options of its runs, whose observer counts the
// batch's progress and carries the stop request.
struct BatchJob {
    FileOpOptions counted;  // for the run that reads the file once
    FileOpOptions quiet;    // for further readings (a check of the output): they only stop
};

class BatchTask {
public:
    virtual ~BatchTask() = default;
    // Called from several threads at once, each for another file. An error it raises ends the
    // file as skipped or failed by its kind (see OutcomeOfError).
    virtual FileReport Run(const BatchFile& file, const BatchJob& job) const = 0;
    // The path the task would write for file; nullopt when it writes none.
    virtual std::optional<std::string> OutputOf(const BatchFile& file) const = 0;
};

// Two files of a batch that would be written to one output, which the second would find made
// by the first.
struct SharedOutput {
    std::string first, second, output;
};
// The first two files of files that task would write to the same path; nullopt when none do.
std::optional<SharedOutput> FindSharedOutput(const std::vector<BatchFile>& files, const BatchTask& task);

// Told on the thread that runs the batch.
class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    // done: bytes of the files read so far; total: the bytes of every file; ended: the files
    // ended so far, of files. False stops the batch.
    virtual bool Continue(std::uint64_t done, std::uint64_t total, std::size_t ended, std::size_t files) = 0;
    virtual void Finished(const BatchFile& file, const FileReport& report) = 0;
    // What a file's output did not keep (a mode), in a sentence naming it.
    virtual void Notice(const std::string& message) = 0;
};

struct BatchSummary {
    std::size_t done = 0, alreadyDone = 0, unverified = 0, skipped = 0, failed = 0, stopped = 0;
    std::uint64_t bytes = 0;  // of the files done
    double seconds = 0;
};

// By the error's kind: a refusal (an existing output, a changed input, a file that does not
// open) skips a file; an I/O error, a failure of the system or a file that fails its
// authentication (damaged, cut short or tampered with) fails it; a stop request stops it.
BatchOutcome OutcomeOfError(const std::exception_ptr& error);

// jobs: files at once, at least one; each run's work is shared by the threads of the cores
// left to it. calls: the host calls of every run (a test's faults).
BatchSummary RunBatch(const std::vector<BatchFile>& files, const BatchTask& task, std::size_t jobs,
                      BatchObserver& observer, const SystemCalls& calls = HostCalls());
