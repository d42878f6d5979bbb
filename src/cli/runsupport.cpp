#include "cli/runsupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <variant>

#include "cli/printable.h"
#include "platform/ownstream.h"
#include "platform/posixfile.h"

namespace {
bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
}  // namespace

namespace {
// "-", or a name of the process's own descriptor fd (/dev/stdin, /proc/self/fd/0), is called
// what it is: standard input or output, which must not have been closed when the program
// started (another file would have taken its number).
FileName StandardStreamName(const std::string& typed, const std::string& dash, int fd, const char* stream,
                            bool closed)
{
    const std::string path = typed == "-" ? dash : typed;
    if (typed != "-" && OwnDescriptorNamedBy(path) != fd) return FileName{typed, path, Printable(typed)};
    if (closed) throw Unavailable{std::string(stream) + " is closed"};
    return FileName{typed, path, stream};
}
}  // namespace

FileName Input(const std::string& typed, const CliEnvironment& env)
{
    return StandardStreamName(typed, env.standardInput, STDIN_FILENO, "standard input", env.standardInputClosed);
}

FileName Output(const std::string& typed, const CliEnvironment& env)
{
    return StandardStreamName(typed, env.standardOutput, STDOUT_FILENO, "standard output", env.standardOutputClosed);
}

std::pair<FileName, FileName> FileNames(const Command& command, const CliEnvironment& env)
{
    const auto& names = command.names;
    if (names.size() == 2 && !command.output) return {Input(names[0], env), Output(names[1], env)};
    if (names.size() == 1 && command.output) return {Input(names[0], env), Output(*command.output, env)};
    throw UsageError{"give INPUT and OUTPUT: two names, or one and -o FILE ('-' for standard input or output)"};
}

bool IsAutoCipher(const std::string& cipher)
{
    return cipher.empty() || (cipher.size() == 4 && std::equal(cipher.begin(), cipher.end(), "auto",
                                                               [](char a, char b) { return (a | 0x20) == b; }));
}

std::optional<struct stat> StatOf(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return info;
}

bool IsRegularFile(const std::string& path)
{
    const auto info = StatOf(path);
    return info && S_ISREG(info->st_mode);
}

RunInput OpenForReading(const FileName& input, std::size_t peekBytes)
{
    auto opened = OpenRunInput(input.path, peekBytes, HostCalls());
    if (const auto* refusal = std::get_if<RunRefusal>(&opened))
        throw Refusal{input.Shown() + ": " + FileOpMessage(FileOpResult::InputOpenFailed, FileOperation::Decrypt) +
                      " (" + std::strerror(refusal->cause) + ")"};
    return std::move(std::get<RunInput>(opened));
}

Refusal AgeRefusal(const AgeError& e, const FileName& input)
{
    std::string message = input.Shown() + ": " + e.what();
    // The advice names only a value the option takes.
    if (e.failure() == AgeFailure::WorkFactorTooLarge)
        message += e.workFactor() <= LargestMaxWorkFactor()
                       ? "; allow it with --max-work-factor " + std::to_string(e.workFactor())
                       : "; this machine's memory cannot hold its scrypt run";
    return Refusal{message};
}

Refusal ChangedRefusal(const FileName& input)
{
    return Refusal{input.Shown() + " changed while it was read"};
}

Refusal ExistsRefusal(const FileName& output)
{
    return Refusal{output.Shown() + " exists; use --force to replace it"};
}

Refusal OutputRefusal(const FileName& output, int cause, FileOperation operation, MessageWording wording)
{
    if (cause == EEXIST) return ExistsRefusal(output);
    if (cause == EWOULDBLOCK)
        return Refusal{output.Shown() + " is being written in place by another run; try again when it has ended"};
    return Refusal{output.Shown() + ": " + FileOpMessage(FileOpResult::OutputOpenFailed, operation, wording) + " (" +
                   std::strerror(cause) + ")"};
}

RunOutput OpenForWriting(const Command& command, const RunInput& input, const FileName& output,
                         FileOperation operation, MessageWording wording)
{
    const auto existing = command.force ? OutputFile::Existing::Replace : OutputFile::Existing::Refuse;
    auto opened = OpenRunOutput(input, output.path, HostCalls(), existing);
    if (const auto* refusal = std::get_if<RunRefusal>(&opened)) {
        if (refusal->result == FileOpResult::SameNames)
            throw Refusal{FileOpMessage(refusal->result, operation, wording)};
        throw OutputRefusal(output, refusal->cause, operation, wording);
    }
    return std::move(std::get<RunOutput>(opened));
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
    constexpr std::uint64_t kProgressFromBytes = 64ull * 1024 * 1024;
    if (command.progress) return *command.progress;
    const auto info = StatOf(input.path);
    return env.errIsTerminal && info && S_ISREG(info->st_mode) &&
           static_cast<std::uint64_t>(info->st_size) > kProgressFromBytes;
}

const std::atomic<int>& StopSignal(const CliEnvironment& env)
{
    static const std::atomic<int> never{0};
    return env.stopSignal ? *env.stopSignal : never;
}

int ReportOutcome(FileOpResult result, FileOperation operation, MessageWording wording, const Command& command,
                  CliEnvironment& env)
{
    switch (result) {
    case FileOpResult::Encrypted:
    case FileOpResult::Decrypted:
        if (!command.quiet) env.err << FileOpMessage(result, operation, wording) << '\n';
        return exitcode::kSuccess;
    case FileOpResult::Cancelled: throw Interrupted{StopSignal(env).load()};
    default: throw Refusal{FileOpMessage(result, operation, wording)};
    }
}

int ReportIoError(const IoError& e, const std::string& fallbackName, CliEnvironment& env)
{
    // A failure that a stop request brought about is the stop's.
    if (const int signal = StopSignal(env).load()) throw Interrupted{signal};
    env.err << kPrefix << IoErrorMessage(e, fallbackName) << '\n';
    return exitcode::kIoError;
}

std::string IoErrorMessage(const IoError& e, const std::string& fallbackName)
{
    std::string message = (e.path().empty() ? fallbackName : e.path()) + ": " + WithFullStop(e.what());
    if (e.hostError() != 0) message += " (" + std::string(std::strerror(e.hostError())) + ")";
    return Printable(message);
}
