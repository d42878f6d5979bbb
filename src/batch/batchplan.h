#pragma once

// What the front ends decide alike about a batch: how many files run at once by default, how
// its summary and each file's outcome read, and which task each of the age window's pages runs.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "age/agefile.h"
#include "batch/batchrun.h"
#include "platform/secretbytes.h"

// One job per core, but no more scrypt runs at once than half the memory holds. protection:
// of the age files written, if any.
std::size_t DefaultJobs(const AgeProtection* protection);

// "3 resealed (1 before this run), 1 skipped, 0 failed; 1.5 MiB in 2.0 s"; doneWord names
// the task's work ("resealed", "encrypted").
std::string SummaryText(const BatchSummary& summary, std::string_view doneWord);

// The files a batch of task works on: paths, and with recursion every file in their folders and
// below. Raises ZorvantaError, before any work, when the output folder is one of the folders or
// lies inside one (the walk would meet the outputs, or leave out the files there), and when two
// files would be written to one output.
BatchWalk WalkForBatch(const std::vector<std::string>& paths, bool recursive,
                       const std::optional<std::string>& outputFolder, const BatchTask& task);

// "done", "skipped", "failed" or "stopped": a file's outcome in one word.
std::string_view OutcomeWord(BatchOutcome outcome);
// Why a file ended as it did, or what was made of it: the report's detail, or the text of its
// error (naming the file the error concerns, if any, and the system's reason).
std::string OutcomeReason(const FileReport& report);

// A task with what it needs to run: the word of its summary and the jobs it runs at once.
struct PlannedBatch {
    std::unique_ptr<BatchTask> task;
    std::string doneWord;
    std::size_t jobs = 1;
    std::optional<std::string> outputFolder;  // left out of the walk of the named paths
};

// Each file into an age file NAME.age, beside it or under outputFolder.
PlannedBatch PlanEncrypt(AgeProtection protection, std::optional<std::string> outputFolder);
// Each file of either format, opened with the passphrase as typed (UTF-8; legacy files tell
// their cipher by their check block) or the identities, into NAME without ".age".
PlannedBatch PlanDecrypt(std::optional<SecretBytes> typed, std::vector<Identity> identities,
                         std::optional<std::string> outputFolder);
// Each legacy file, opened with the passphrase as typed, moved to an age file (see ResealTask).
PlannedBatch PlanMove(const SecretBytes& legacyTyped, AgeProtection protection,
                      std::optional<std::string> outputFolder, bool deleteOriginals);
