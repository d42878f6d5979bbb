#include "cli/batchcommands.h"

#include <algorithm>
#include <new>

#include "age/agecrypto.h"
#include "batch/batchplan.h"
#include "batch/filetasks.h"
#include "batch/reseal.h"
#include "cli/agecommands.h"
#include "cli/ciphernames.h"
#include "cli/keyfiles.h"
#include "cli/passphrasesource.h"
#include "cli/printable.h"
#include "cli/progress.h"
#include "cli/runsupport.h"
#include "platform/outputfile.h"
#include "platform/posixfile.h"

namespace {
// What an error that skipped or failed a file says, naming the file it concerns.
std::string ErrorText(const std::exception_ptr& error, const std::string& path)
{
    try {
        std::rethrow_exception(error);
    } catch (const ZorvantaError& e) {
        return ReportOf(e, path, path).message;
    } catch (const OutOfMemory& e) {
        return e.what();
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& e) {
        return e.what();
    }
}

bool Ended(BatchOutcome outcome)
{
    return outcome == BatchOutcome::Done || outcome == BatchOutcome::AlreadyDone || outcome == BatchOutcome::Unverified;
}

std::string OutcomeLine(const BatchFile& file, const FileReport& report)
{
    if (Ended(report.outcome)) return file.path + ": " + report.detail;
    const char* what = report.outcome == BatchOutcome::Failed ? ": failed: " : ": skipped: ";
    return file.path + what + (report.error ? ErrorText(report.error, file.path) : report.detail);
}

// A line per file on standard error, between redraws of the batch's progress line.
class BatchLines final : public BatchObserver {
public:
    BatchLines(const Command& command, CliEnvironment& env, bool progress)
        : quiet_(command.quiet), env_(env),
          progress_(StopSignal(env), progress ? &env.err : nullptr, env.errColumns, env.err)
    {
    }
    bool Continue(std::uint64_t done, std::uint64_t total, std::size_t ended, std::size_t files) override
    {
        progress_.CountFiles(ended, files);
        return progress_.Continue(done, total);
    }
    void Finished(const BatchFile& file, const FileReport& report) override
    {
        if ((Ended(report.outcome) && quiet_) || report.outcome == BatchOutcome::Stopped) return;
        Say(OutcomeLine(file, report));
    }
    void Notice(const std::string& message) override { Say(message); }
    void Say(const std::string& line)
    {
        progress_.ClearLine();
        env_.err << kPrefix << Printable(line) << '\n';
    }
    void End() { progress_.EndLine(); }

private:
    bool quiet_;
    CliEnvironment& env_;
    RunObserver progress_;
};

int RunTask(Command& command, CliEnvironment& env, const BatchTask& task, const char* doneWord,
            std::size_t defaultJobs)
{
    if (command.names.empty()) throw UsageError{"give the files or folders to work on"};
    BatchWalk walk;
    try {
        walk = WalkForBatch(command.names, command.recursive, command.outputDir, task);
    } catch (const ZorvantaError& e) {
        throw UsageError{e.what()};
    }
    BatchLines lines(command, env, command.progress.value_or(env.errIsTerminal));
    for (const PassedBy& passed : walk.passedBy) lines.Say(passed.path + ": skipped: " + passed.reason);
    BatchSummary summary = RunBatch(walk.files, task, command.jobs.value_or(defaultJobs), lines);
    lines.End();
    summary.skipped += walk.passedBy.size();
    const bool clean = summary.skipped == 0 && summary.failed == 0;
    if (!command.quiet || !clean) env.err << SummaryText(summary, doneWord) << '\n';
    if (const int signal = StopSignal(env).load()) throw Interrupted{signal};
    if (summary.failed) return exitcode::kIoError;
    return clean ? exitcode::kSuccess : exitcode::kRefused;
}

std::optional<std::string> CipherAlgorithm(const Command& command)
{
    if (IsAutoCipher(command.cipher)) return std::nullopt;
    return std::string(NamedCipher(command.cipher).algorithm);
}

std::vector<Identity> IdentitiesOf(Command& command, CliEnvironment& env)
{
    std::vector<Identity> identities;
    for (const std::string& name : command.identityFiles) {
        auto read = IdentitiesIn(name, command, env);
        std::move(read.begin(), read.end(), std::back_inserter(identities));
    }
    return identities;
}

int Reseal(Command& command, CliEnvironment& env)
{
    const bool newPassphrase = command.newPassphraseFile || command.newPassphraseFd || command.newPassphraseEnv;
    const bool recipients = !command.recipients.empty() || !command.recipientsFiles.empty();
    if (recipients && newPassphrase) throw UsageError{"give recipients or a new passphrase, not both"};
    if (recipients && command.workFactor) throw UsageError{"--work-factor is for a passphrase, not for recipients"};
    ResealSettings settings;
    settings.cipher = CipherAlgorithm(command);
    settings.protection.recipients = RecipientsOf(command, env.err);
    settings.unlocking.identities = IdentitiesOf(command, env);
    PassphraseForms passphrase = ObtainPassphraseForms(command, env);
    settings.legacyPassphrase = std::move(passphrase.legacy);
    if (!recipients) {
        const auto chosen = ObtainNewPassphrase(command, env);
        settings.protection.passphrase = chosen ? *chosen : passphrase.utf8;
        settings.protection.workFactor = command.workFactor.value_or(kDefaultWorkFactor);
        settings.unlocking.passphrase = GivingPassphrase(*settings.protection.passphrase);
        settings.unlocking.maxWorkFactor = std::max(kDefaultMaxWorkFactor, settings.protection.workFactor);
    }
    settings.outputFolder = command.outputDir;
    settings.deleteOriginals = command.deleteOriginals;
    const std::size_t jobs = DefaultJobs(&settings.protection);
    return RunTask(command, env, ResealTask(std::move(settings)), "resealed", jobs);
}

// decrypt and check: the passphrase is read once, unless identities alone are given.
Opening OpeningOf(Command& command, CliEnvironment& env)
{
    Opening opening;
    opening.cipher = CipherAlgorithm(command);
    opening.unlocking.identities = IdentitiesOf(command, env);
    opening.unlocking.maxWorkFactor = command.maxWorkFactor.value_or(kDefaultMaxWorkFactor);
    if (!command.identityFiles.empty() && !HasPassphraseOption(command)) return opening;
    PassphraseForms passphrase = ObtainPassphraseForms(command, env);
    opening.legacyPassphrase = std::move(passphrase.legacy);
    opening.unlocking.passphrase = GivingPassphrase(std::move(passphrase.utf8));
    return opening;
}

int FileBatch(Command& command, CliEnvironment& env)
{
    if (command.output) throw UsageError{"-o names one output; give --output-dir DIR for many files"};
    const FileTaskOutput output{command.outputDir, command.force};
    if (command.verb == Verb::Encrypt) {
        if (WantsAge(command)) {
            AgeProtection protection = ProtectionOf(command, env, nullptr);
            const std::size_t jobs = DefaultJobs(&protection);
            return RunTask(command, env, FileTask(EncryptWork{std::move(protection)}, output), "encrypted", jobs);
        }
        if (command.cipher.empty()) throw UsageError{"give --cipher NAME, or --format age"};
        if (IsAutoCipher(command.cipher)) throw UsageError{"--cipher auto is for decrypt and check"};
        LegacyProtection protection{ObtainPassphrase(command, env, PassphraseForm::Legacy, true).bytes,
                                    *CipherAlgorithm(command)};
        return RunTask(command, env, FileTask(EncryptWork{std::move(protection)}, output), "encrypted",
                       DefaultJobs(nullptr));
    }
    Opening opening = OpeningOf(command, env);
    const std::size_t jobs = DefaultJobs(nullptr);
    if (command.verb == Verb::Decrypt)
        return RunTask(command, env, FileTask(DecryptWork{std::move(opening)}, output), "decrypted", jobs);
    return RunTask(command, env, FileTask(CheckWork{std::move(opening)}), "open", jobs);
}
}  // namespace

int RunBatchCommand(Command& command, CliEnvironment& env)
{
    return command.verb == Verb::Reseal ? Reseal(command, env) : FileBatch(command, env);
}
