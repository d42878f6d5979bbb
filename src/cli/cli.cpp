#include "cli/cli.h"

#include <algorithm>
#include <new>
#include <span>
#include <system_error>

#include "cli/agecommands.h"
#include "cli/keyfiles.h"
#include "cli/batchcommands.h"
#include "cli/bench.h"
#include "cli/ciphernames.h"
#include "cli/options.h"
#include "cli/passphrasesource.h"
#include "cli/printable.h"
#include "cli/progress.h"
#include "cli/runsupport.h"
#include "cli/selftest.h"
#include "cli/usage.h"
#include "fileenc/checkblock.h"
#include "formats/dispatch.h"
#include "formats/fileformat.h"
#include "formats/outcometext.h"
#include "platform/stoprequest.h"

namespace {
void HintOtherCipher(std::span<const std::uint8_t> firstBytes, const SecretBytes& passphrase, std::ostream& err)
{
    const auto fitting = FindLegacyCipher(firstBytes, passphrase);
    if (!fitting) return;
    err << kPrefix << "this file was encrypted with " << *fitting << "; use --cipher " << CipherOptionName(*fitting)
        << '\n';
}

std::string WrongPassphrase(const FileName& input)
{
    return input.Shown() + ": " + FileOpMessage(FileOpResult::WrongPassphrase, FileOperation::Decrypt);
}

// Options that only an age file uses, given for a file of the legacy format.
void RefuseAgeOptions(const Command& command, const FileName& input)
{
    if (!command.identityFiles.empty() || command.maxWorkFactor) throw Refusal{input.Shown() + ": not an age file"};
}

// The named cipher, or else the first whose check block fits, named on standard error; nullopt
// when none fits.
std::optional<std::string> LegacyCipher(const Command& command, const FileName& input, const RunInput& opened,
                                        const SecretBytes& passphrase, std::ostream& err)
{
    if (!IsAutoCipher(command.cipher)) return std::string(NamedCipher(command.cipher).algorithm);
    const auto fitting = FindLegacyCipher(opened.taken, passphrase);
    if (fitting && !command.quiet) err << kPrefix << input.Shown() << ": encrypted with " << *fitting << '\n';
    return fitting ? std::optional<std::string>(*fitting) : std::nullopt;
}

int EncryptLegacy(Command& command, CliEnvironment& env, const std::pair<FileName, FileName>& names)
{
    const auto& [input, output] = names;
    if (command.cipher.empty()) throw UsageError{"give --cipher NAME, or --format age"};
    if (IsAutoCipher(command.cipher)) throw UsageError{"--cipher auto is for decrypt and check"};
    const CipherEntry& entry = NamedCipher(command.cipher);
    RunInput opened = OpenForReading(input, 0);
    RunOutput written = OpenForWriting(command, opened, output, FileOperation::Encrypt, env);
    ObtainedPassphrase passphrase = ObtainPassphrase(command, env, PassphraseForm::Legacy, true);
    RefusePassphraseFileAsOutput(passphrase, output);
    const Protection protection = LegacyProtection{std::move(passphrase.bytes), std::string(entry.algorithm)};
    RunObserver observer(StopSignal(env), ShowsProgress(command, env, input) ? &env.err : nullptr,
                         env.errColumns, env.err);
    const FileOpResult result = EncryptOpened(std::move(opened), std::move(written), protection, {&observer});
    observer.EndLine();
    return ReportOutcome(result, FileOperation::Encrypt, command, env);
}

int DecryptLegacy(Command& command, CliEnvironment& env, RunInput input, RunOutput output,
                  const std::pair<FileName, FileName>& names)
{
    RefuseAgeOptions(command, names.first);
    const ObtainedPassphrase passphrase = ObtainPassphrase(command, env, PassphraseForm::Legacy, false);
    RefusePassphraseFileAsOutput(passphrase, names.second);
    Opening opening;
    opening.legacyPassphrase = passphrase.bytes;
    opening.cipher = LegacyCipher(command, names.first, input, passphrase.bytes, env.err);
    const bool named = !IsAutoCipher(command.cipher);
    const std::vector<std::uint8_t> firstBytes = input.taken;
    RunObserver observer(StopSignal(env), ShowsProgress(command, env, names.first) ? &env.err : nullptr,
                         env.errColumns, env.err);
    const FileOpResult result = DecryptOpened(std::move(input), std::move(output), opening, {&observer});
    observer.EndLine();
    if (result == FileOpResult::WrongPassphrase) {
        if (!named) throw Refusal{WrongPassphrase(names.first) + " (no cipher fits)"};
        env.err << kPrefix << WrongPassphrase(names.first) << '\n';
        HintOtherCipher(firstBytes, passphrase.bytes, env.err);
        return exitcode::kRefused;
    }
    return ReportOutcome(result, FileOperation::Decrypt, command, env);
}

int RunFileCommand(Command& command, CliEnvironment& env)
{
    RefuseKeysFromTheInputsStream(command);
    const auto names = FileNames(command, env);
    const FileName& input = names.first;  // not a structured binding: the lambda below takes it
    const FileName& output = names.second;
    const FileOperation operation = command.verb == Verb::Encrypt ? FileOperation::Encrypt : FileOperation::Decrypt;
    if (const auto refusal = RefusedNames(input.path, output.path))
        return ReportOutcome(*refusal, operation, command, env);
    return ReportingFileErrors(input, output, env, [&] {
        if (command.verb == Verb::Encrypt) {
            if (WantsAge(command)) return EncryptAge(command, env, names);
            if (command.format == "legacy" || !command.cipher.empty()) return EncryptLegacy(command, env, names);
            throw UsageError{"give --cipher NAME, or --format age"};
        }
        RunInput opened = OpenForReading(input);
        RunOutput written = OpenForWriting(command, opened, output, operation, env);
        if (IsAge(FormatOf(opened.taken))) return DecryptAge(command, env, std::move(opened), std::move(written), names);
        return DecryptLegacy(command, env, std::move(opened), std::move(written), names);
    });
}

int CheckLegacy(Command& command, CliEnvironment& env, RunInput opened, const FileName& input)
{
    RefuseAgeOptions(command, input);
    Opening opening;
    if (!IsAutoCipher(command.cipher)) opening.cipher = NamedCipher(command.cipher).algorithm;
    opening.legacyPassphrase = ObtainPassphrase(command, env, PassphraseForm::Legacy, false).bytes;
    const std::vector<std::uint8_t> firstBytes = opened.taken;
    if (CheckOpened(std::move(opened), opening) == FileOpResult::WrongPassphrase) {
        env.err << kPrefix << WrongPassphrase(input) << '\n';
        if (opening.cipher) HintOtherCipher(firstBytes, *opening.legacyPassphrase, env.err);
        return exitcode::kRefused;
    }
    if (!command.quiet) {
        const auto fitting = FindLegacyCipher(firstBytes, *opening.legacyPassphrase, opening.cipher);
        env.err << kPrefix << input.Shown() << ": " << PassphraseFitsNote(fitting.value_or("")) << '\n';
    }
    return exitcode::kSuccess;
}

int RunCheck(Command& command, CliEnvironment& env)
{
    if (command.names.size() != 1) throw UsageError{"check takes one FILE"};
    RefuseKeysFromTheInputsStream(command);
    const FileName input = Input(command.names[0], env);
    return ReportingFileErrors(input, input, env, [&] {
        RunInput opened = OpenForReading(input);
        if (IsAge(FormatOf(opened.taken))) return CheckAge(command, env, std::move(opened), input);
        return CheckLegacy(command, env, std::move(opened), input);
    });
}

int Run(Command& command, CliEnvironment& env)
{
    switch (command.verb) {
    case Verb::Encrypt:
    case Verb::Decrypt: return IsBatch(command) ? RunBatchCommand(command, env) : RunFileCommand(command, env);
    case Verb::Check: return IsBatch(command) ? RunBatchCommand(command, env) : RunCheck(command, env);
    case Verb::Reseal: return RunBatchCommand(command, env);
    case Verb::Keygen: return RunKeygen(command, env);
    case Verb::Ciphers: ListCiphers(env.out); break;
    case Verb::Selftest: return RunSelfTest(BuiltInKnownAnswers(), env.out) ? exitcode::kSuccess : exitcode::kRefused;
    case Verb::Bench: RunBench(env.out); break;
    case Verb::Help: env.out << HelpText(command.helpTopic); break;
    case Verb::Version: env.out << VersionText(); break;
    }
    return exitcode::kSuccess;
}

// A command that a stop request ended, however it failed.
int Stopped(int signal, CliEnvironment& env)
{
    env.err << kPrefix << FileOpMessage(FileOpResult::Cancelled, FileOperation::Encrypt) << '\n';
    return exitcode::kSignalBase + signal;
}

// The message and exit status of the failure being handled; call only from a catch block.
int Failed(CliEnvironment& env)
{
    const auto report = [&env](const std::string& message, int status) {
        env.err << kPrefix << Printable(message) << '\n';
        return status;
    };
    try {
        throw;
    } catch (const Refusal& e) {
        return report(e.message, exitcode::kRefused);
    } catch (const Unavailable& e) {
        return report(e.message, exitcode::kIoError);
    } catch (const ZorvantaError& e) {
        const ErrorReport told = ReportOf(e, {}, {});
        return report(told.message, told.status);
    } catch (const OutOfMemory& e) {
        return report(e.what(), exitcode::kIoError);
    } catch (const std::bad_alloc&) {
        return report("out of memory", exitcode::kIoError);
    } catch (const std::system_error& e) {
        return report(std::string("the system refused: ") + e.what(), exitcode::kIoError);
    } catch (const std::exception& e) {
        return report(std::string("internal error: ") + WithFullStop(e.what()), exitcode::kInternal);
    } catch (...) {
        return report("internal error", exitcode::kInternal);
    }
}
}  // namespace

int RunCli(const std::vector<std::string>& args, CliEnvironment& env)
{
    try {
        Command command = ParseCommandLine(args);
        struct ForgetOnExit {
            Command& command;
            ~ForgetOnExit() { ForgetHexPassphrase(command); }
        } forget{command};  // however the command ends
        return Run(command, env);
    } catch (const UsageError& e) {
        const auto topic = args.empty() ? std::nullopt : VerbNamed(args[0]);
        env.err << kPrefix << Printable(e.message) << '\n'
                << UsageLines(topic) << "Try 'zorvanta-cli help" << (topic ? " " + args[0] : "") << "' for more.\n";
        return exitcode::kUsage;
    } catch (const Interrupted& e) {
        return Stopped(e.signal, env);
    } catch (const StopRequested& e) {
        return Stopped(e.signal(), env);
    } catch (...) {
        // A failure that a stop request brought about is the stop's.
        if (const int signal = StopSignal(env).load()) return Stopped(signal, env);
        return Failed(env);
    }
}
