#include "batch/batchplan.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "age/agecrypto.h"
#include "batch/filetasks.h"
#include "batch/reseal.h"
#include "fileenc/passphrase.h"
#include "pipeline/cores.h"
#include "platform/ioerror.h"
#include "platform/outputfile.h"

// Decrypt and check meet their files' work factors as they open them: there, Scrypt itself
// waits for its memory.
std::size_t DefaultJobs(const AgeProtection* protection)
{
    const std::size_t cores = UsableCores();
    if (!protection || !protection->passphrase) return cores;
    const std::uint64_t runs = PhysicalMemoryBytes() / 2 / ScryptMemoryBytes(protection->workFactor);
    return static_cast<std::size_t>(std::clamp<std::uint64_t>(runs, 1, cores));
}

std::string SummaryText(const BatchSummary& summary, std::string_view doneWord)
{
    std::string text = std::to_string(summary.done + summary.alreadyDone) + " " + std::string(doneWord);
    if (summary.alreadyDone) text += " (" + std::to_string(summary.alreadyDone) + " before this run)";
    if (summary.unverified)
        text += ", " + std::to_string(summary.unverified) + " legacy (the passphrase fits; the rest cannot be checked)";
    text += ", " + std::to_string(summary.skipped) + " skipped, " + std::to_string(summary.failed) + " failed";
    if (summary.stopped) text += ", " + std::to_string(summary.stopped) + " stopped";
    char figures[64];
    std::snprintf(figures, sizeof figures, "; %.1f MiB in %.1f s", static_cast<double>(summary.bytes) / 1048576.0,
                  summary.seconds);
    return text + figures;
}

BatchWalk WalkForBatch(const std::vector<std::string>& paths, bool recursive,
                       const std::optional<std::string>& outputFolder, const BatchTask& task)
{
    if (outputFolder && recursive)
        if (const auto holding = InputHolding(paths, *outputFolder))
            throw ZorvantaError("the output folder " + *outputFolder + (holding->same ? " is " : " lies inside ") +
                                holding->path + ", which is to be worked on; choose an output folder outside it");
    BatchWalk walk = WalkPaths(paths, recursive);
    if (const auto shared = FindSharedOutput(walk.files, task))
        throw ZorvantaError(shared->first + " and " + shared->second + " would both be written to " + shared->output +
                            "; give them in separate runs or to separate output folders");
    return walk;
}

std::string_view OutcomeWord(BatchOutcome outcome)
{
    switch (outcome) {
    case BatchOutcome::Done:
    case BatchOutcome::AlreadyDone:
    case BatchOutcome::Unverified: return "done";
    case BatchOutcome::Skipped:
    case BatchOutcome::PassedOver: return "skipped";
    case BatchOutcome::Failed: return "failed";
    case BatchOutcome::Stopped: break;
    }
    return "stopped";
}

std::string OutcomeReason(const FileReport& report)
{
    if (!report.error) return report.detail;
    try {
        std::rethrow_exception(report.error);
    } catch (const OutputExists& e) {
        return e.path() + " exists";
    } catch (const IoError& e) {
        std::string text = e.path().empty() ? e.what() : e.path() + ": " + e.what();
        if (e.hostError() != 0) text += std::string(" (") + std::strerror(e.hostError()) + ")";
        return text;
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& e) {
        return e.what();
    }
}

PlannedBatch PlanEncrypt(AgeProtection protection, std::optional<std::string> outputFolder)
{
    const std::size_t jobs = DefaultJobs(&protection);
    return {std::make_unique<FileTask>(EncryptWork{std::move(protection)}, FileTaskOutput{outputFolder}), "encrypted",
            jobs, std::move(outputFolder)};
}

PlannedBatch PlanDecrypt(std::optional<SecretBytes> typed, std::vector<Identity> identities,
                         std::optional<std::string> outputFolder)
{
    Opening opening;
    if (typed) {
        opening.legacyPassphrase = PassphraseBytes(AsText(*typed));
        opening.unlocking.passphrase = GivingPassphrase(std::move(*typed));
    }
    opening.unlocking.identities = std::move(identities);
    return {std::make_unique<FileTask>(DecryptWork{std::move(opening)}, FileTaskOutput{outputFolder}), "decrypted",
            DefaultJobs(nullptr), std::move(outputFolder)};
}

PlannedBatch PlanMove(const SecretBytes& legacyTyped, AgeProtection protection,
                      std::optional<std::string> outputFolder, bool deleteOriginals)
{
    const std::size_t jobs = DefaultJobs(&protection);
    ResealSettings settings;
    settings.legacyPassphrase = PassphraseBytes(AsText(legacyTyped));
    if (protection.passphrase) {
        settings.unlocking.passphrase = GivingPassphrase(*protection.passphrase);
        settings.unlocking.maxWorkFactor = std::max(kDefaultMaxWorkFactor, protection.workFactor);
    }
    settings.protection = std::move(protection);
    settings.outputFolder = outputFolder;
    settings.deleteOriginals = deleteOriginals;
    return {std::make_unique<ResealTask>(std::move(settings)), "resealed", jobs, std::move(outputFolder)};
}
