#include "cli/cli.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cli/bench.h"
#include "cli/ciphernames.h"
#include "cli/options.h"
#include "cli/passphrasesource.h"
#include "cli/progress.h"
#include "cli/selftest.h"
#include "cli/usage.h"
#include "fileenc/checkblock.h"
#include "fileenc/fileop.h"
#include "platform/ownstream.h"
#include "platform/ioerror.h"
#include "platform/posixfile.h"

namespace {
constexpr std::uint64_t kProgressFromBytes = 64ull * 1024 * 1024;
constexpr const char* kPrefix = "zorvanta-cli: ";

// A name as typed, the path it stands for ("-" is a stream) and how messages call it.
struct FileName {
    std::string typed, path, shown;
    const std::string& Shown() const { return shown; }
    bool IsStream() const { return typed == "-"; }
};

FileName Input(const std::string& typed, const CliEnvironment& env)
{
    return typed == "-" ? FileName{typed, env.standardInput, "standard input"} : FileName{typed, typed, typed};
}

FileName Output(const std::string& typed, const CliEnvironment& env)
{
    return typed == "-" ? FileName{typed, env.standardOutput, "standard output"} : FileName{typed, typed, typed};
}

std::optional<struct stat> StatOf(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return info;
}

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool IsRegularFile(const std::string& path)
{
    const auto info = StatOf(path);
    return info && S_ISREG(info->st_mode);
}

bool IsAuto(const std::string& cipher)
{
    return cipher.size() == 4 && std::equal(cipher.begin(), cipher.end(), "auto",
                                            [](char a, char b) { return (a | 0x20) == b; });
}

const CipherEntry& NamedCipher(const std::string& name)
{
    const CipherEntry* entry = FindCipher(name);
    if (!entry) throw UsageError{"unknown cipher " + name + " (see 'zorvanta-cli ciphers')"};
    return *entry;
}

// The system's reason why the input does not open, for the message that names it.
std::string OpenFailureCause(const std::string& path)
{
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() >= 0) return std::strerror(EISDIR);  // it opens, so OpenInput refused a folder
    return std::strerror(errno);
}

Refusal InputOpenRefusal(const FileName& input)
{
    return Refusal{input.Shown() + ": " + FileOpMessage(FileOpResult::InputOpenFailed, FileOperation::Decrypt) + " (" +
                   OpenFailureCause(input.path) + ")"};
}

// Which ciphers' check blocks open the file; Refusal when it cannot be opened.
std::vector<std::string_view> MatchingCiphers(const FileName& input, const SecretBytes& passphrase)
{
    auto matching = CiphersMatching(input.path, passphrase);
    if (!matching) throw InputOpenRefusal(input);
    return std::move(*matching);
}

void HintOtherCipher(const std::vector<std::string_view>& matching, std::ostream& err)
{
    if (matching.empty()) return;
    err << kPrefix << "this file was encrypted with " << matching[0] << "; use --cipher "
        << CipherOptionName(matching[0]) << '\n';
}

Refusal WrongPassphrase(const FileName& input)
{
    return Refusal{input.Shown() + ": " + FileOpMessage(FileOpResult::WrongPassphrase, FileOperation::Decrypt)};
}

void RefuseExistingOutput(const Command& command, const FileName& input, const FileName& output)
{
    // A descriptor of this process's own (/dev/stdout >> log) is written as it is, never replaced.
    if (command.force || output.IsStream() || OwnDescriptorNamedBy(output.path)) return;
    const auto target = StatOf(output.path);
    if (!target || !S_ISREG(target->st_mode)) return;
    const auto source = StatOf(input.path);
    if (source && SameFile(*source, *target)) return;  // the engine's own refusal names this
    throw Refusal{output.Shown() + " exists; use --force to replace it"};
}

void RefusePassphraseFileAsOutput(const ObtainedPassphrase& passphrase, const FileName& output)
{
    if (!passphrase.file || output.IsStream()) return;
    const auto target = StatOf(output.path);
    if (target && SameFile(*target, *passphrase.file))
        throw Refusal{output.Shown() + " is the passphrase file; choose another output"};
}

bool ShowsProgress(const Command& command, const CliEnvironment& env, const FileName& input)
{
    if (command.progress) return *command.progress;
    const auto info = StatOf(input.path);
    return env.errIsTerminal && info && S_ISREG(info->st_mode) && static_cast<std::uint64_t>(info->st_size) > kProgressFromBytes;
}

const std::atomic<int>& StopSignal(const CliEnvironment& env)
{
    static const std::atomic<int> never{0};
    return env.stopSignal ? *env.stopSignal : never;
}

// The cipher that opens a file for decrypt --cipher auto, named on standard error.
const CipherEntry& DetectedCipher(const Command& command, const FileName& input, const SecretBytes& passphrase,
                                  std::ostream& err)
{
    const auto matching = MatchingCiphers(input, passphrase);
    if (matching.empty()) throw Refusal{WrongPassphrase(input).message + " (no cipher fits)"};
    if (!command.quiet) err << kPrefix << input.Shown() << ": encrypted with " << matching[0] << '\n';
    return *FindCipher(matching[0]);
}

// The input and output of encrypt and decrypt: two names, or one and -o.
std::pair<FileName, FileName> FileNames(const Command& command, const CliEnvironment& env)
{
    const auto& names = command.names;
    if (names.size() == 2 && !command.output) return {Input(names[0], env), Output(names[1], env)};
    if (names.size() == 1 && command.output) return {Input(names[0], env), Output(*command.output, env)};
    throw UsageError{"give INPUT and OUTPUT: two names, or one and -o FILE ('-' for standard input or output)"};
}

int ReportIoError(const IoError& e, const std::string& fallbackName, std::ostream& err)
{
    err << kPrefix << (e.path().empty() ? fallbackName : e.path()) << ": " << WithFullStop(e.what());
    if (e.hostError() != 0) err << " (" << std::strerror(e.hostError()) << ')';
    err << '\n';
    return exitcode::kIoError;
}

// What a finished run of the engine worked on, for its messages.
struct FileRun {
    const Command& command;
    const CipherEntry& cipher;
    const FileName& input;
    const FileName& output;
    const SecretBytes& passphrase;
};

// The engine's outcome as messages and an exit status.
int Outcome(FileOpResult result, const FileRun& run, CliEnvironment& env)
{
    const auto operation = run.command.verb == Verb::Encrypt ? FileOperation::Encrypt : FileOperation::Decrypt;
    const auto wording = run.cipher.algorithm == "Gost" ? MessageWording::Gost : MessageWording::Standard;
    switch (result) {
    case FileOpResult::Encrypted:
    case FileOpResult::Decrypted:
        if (!run.command.quiet) env.err << FileOpMessage(result, operation, wording) << '\n';
        return exitcode::kSuccess;
    case FileOpResult::Cancelled: throw Interrupted{StopSignal(env).load()};
    case FileOpResult::InputOpenFailed: throw InputOpenRefusal(run.input);
    case FileOpResult::OutputOpenFailed: throw Refusal{run.output.Shown() + ": " + FileOpMessage(result, operation, wording)};
    case FileOpResult::WrongPassphrase:
        env.err << kPrefix << WrongPassphrase(run.input).message << '\n';
        if (IsRegularFile(run.input.path)) HintOtherCipher(MatchingCiphers(run.input, run.passphrase), env.err);
        return exitcode::kRefused;
    default: throw Refusal{FileOpMessage(result, operation, wording)};
    }
}

int RunFileCommand(Command& command, CliEnvironment& env)
{
    const auto names = FileNames(command, env);
    const FileName& input = names.first;
    const FileName& output = names.second;
    if (command.cipher.empty()) throw UsageError{"--cipher NAME is required"};
    const bool detect = IsAuto(command.cipher);
    if (detect && command.verb == Verb::Encrypt) throw UsageError{"--cipher auto is for decrypt and check"};
    const CipherEntry* named = detect ? nullptr : &NamedCipher(command.cipher);
    // A pipe can be read once: its check block would be gone before decryption starts.
    if (detect && StatOf(input.path) && !IsRegularFile(input.path))
        throw UsageError{"--cipher auto needs a file; name the cipher to decrypt a stream"};
    RefuseExistingOutput(command, input, output);
    const ObtainedPassphrase passphrase = ObtainPassphrase(command, env);
    RefusePassphraseFileAsOutput(passphrase, output);

    try {
        const CipherEntry& entry = named ? *named : DetectedCipher(command, input, passphrase.bytes, env.err);
        const auto cipher = entry.create();
        RunObserver observer(StopSignal(env), ShowsProgress(command, env, input) ? &env.err : nullptr);
        const FileOpOptions options{&observer};
        const auto run = command.verb == Verb::Encrypt ? EncryptFile : DecryptFile;
        const FileOpResult result = run(input.path, output.path, passphrase.bytes, *cipher, options);
        observer.EndLine();
        return Outcome(result, {command, entry, input, output, passphrase.bytes}, env);
    } catch (const IoError& e) {
        // Unless the engine names the file: a read past the end names the input, any other error the output.
        return ReportIoError(e, e.code() == iocode::kReadBeyondEnd ? input.Shown() : output.Shown(), env.err);
    }
}

int RunCheck(Command& command, CliEnvironment& env)
{
    if (command.names.size() != 1) throw UsageError{"check takes one FILE"};
    const FileName input = Input(command.names[0], env);
    const CipherEntry* named = command.cipher.empty() || IsAuto(command.cipher) ? nullptr : &NamedCipher(command.cipher);
    const ObtainedPassphrase passphrase = ObtainPassphrase(command, env);
    try {
        const auto matching = MatchingCiphers(input, passphrase.bytes);
        const bool fits = named ? std::ranges::find(matching, named->algorithm) != matching.end() : !matching.empty();
        if (!fits) {
            env.err << kPrefix << WrongPassphrase(input).message << '\n';
            if (named) HintOtherCipher(matching, env.err);
            return exitcode::kRefused;
        }
        if (!command.quiet)
            env.err << kPrefix << input.Shown() << ": the passphrase fits (" << (named ? named->algorithm : matching[0]) << ")\n";
        return exitcode::kSuccess;
    } catch (const IoError& e) {
        return ReportIoError(e, input.Shown(), env.err);
    }
}

int Run(Command& command, CliEnvironment& env)
{
    switch (command.verb) {
    case Verb::Encrypt:
    case Verb::Decrypt: return RunFileCommand(command, env);
    case Verb::Check: return RunCheck(command, env);
    case Verb::Ciphers: ListCiphers(env.out); break;
    case Verb::Selftest: return RunSelfTest(BuiltInKnownAnswers(), env.out) ? exitcode::kSuccess : exitcode::kRefused;
    case Verb::Bench: RunBench(env.out); break;
    case Verb::Help: env.out << HelpText(command.helpTopic); break;
    case Verb::Version: env.out << VersionText(); break;
    }
    return exitcode::kSuccess;
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
        env.err << kPrefix << e.message << '\n'
                << UsageLines(topic) << "Try 'zorvanta-cli help" << (topic ? " " + args[0] : "") << "' for more.\n";
        return exitcode::kUsage;
    } catch (const Refusal& e) {
        env.err << kPrefix << e.message << '\n';
        return exitcode::kRefused;
    } catch (const Interrupted& e) {
        env.err << kPrefix << FileOpMessage(FileOpResult::Cancelled, FileOperation::Encrypt) << '\n';
        return exitcode::kSignalBase + e.signal;
    } catch (const ZorvantaError& e) {
        env.err << kPrefix << WithFullStop(e.what()) << '\n';
        return exitcode::kIoError;
    }
}
