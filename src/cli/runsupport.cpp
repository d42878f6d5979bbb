#include "cli/runsupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <variant>

#include "age/ageerror.h"
#include "cli/printable.h"
#include "formats/outcometext.h"
#include "platform/fileidentity.h"
#include "platform/ownstream.h"
#include "platform/ioerror.h"
#include "platform/outputfile.h"
#include "platform/posixfile.h"

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

Refusal ExistsRefusal(const FileName& output)
{
    return Refusal{output.Shown() + " exists; use --force to replace it"};
}

Refusal OutputRefusal(const FileName& output, int cause, FileOperation operation)
{
    if (cause == EEXIST) return ExistsRefusal(output);
    if (cause == EWOULDBLOCK)
        return Refusal{output.Shown() + " is being written in place by another run; try again when it has ended"};
    return Refusal{output.Shown() + ": " + FileOpMessage(FileOpResult::OutputOpenFailed, operation) + " (" +
                   std::strerror(cause) + ")"};
}

RunOutput OpenForWriting(const Command& command, const RunInput& input, const FileName& output,
                         FileOperation operation, CliEnvironment& env)
{
    const auto existing = command.force ? OutputFile::Existing::Replace : OutputFile::Existing::Refuse;
    auto opened = OpenRunOutput(input, output.path, HostCalls(), existing);
    if (const auto* refusal = std::get_if<RunRefusal>(&opened)) {
        if (refusal->result == FileOpResult::SameNames)
            throw Refusal{FileOpMessage(refusal->result, operation)};
        throw OutputRefusal(output, refusal->cause, operation);
    }
    RunOutput& written = std::get<RunOutput>(opened);
    if (written.file.WritesInPlace())
        env.err << kPrefix << output.Shown() << ": written in place (" << written.file.InPlaceReason() << ")\n";
    return std::move(written);
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

int ReportOutcome(FileOpResult result, FileOperation operation, const Command& command, CliEnvironment& env)
{
    switch (result) {
    case FileOpResult::Encrypted:
    case FileOpResult::Decrypted:
        if (!command.quiet) env.err << FileOpMessage(result, operation) << '\n';
        return exitcode::kSuccess;
    case FileOpResult::Cancelled: throw Interrupted{StopSignal(env).load()};
    default: throw Refusal{FileOpMessage(result, operation)};
    }
}

namespace {
// "NAME: the error's text. (the system's reason)"; the error's own name, else fallbackName.
std::string IoErrorMessage(const IoError& e, const std::string& fallbackName)
{
    const std::string& name = e.path().empty() ? fallbackName : e.path();
    std::string message = (name.empty() ? "" : name + ": ") + WithFullStop(e.what());
    if (e.hostError() != 0) message += " (" + std::string(std::strerror(e.hostError())) + ")";
    return Printable(message);
}
}  // namespace

ErrorReport ReportOf(const ZorvantaError& e, const std::string& input, const std::string& output)
{
    switch (e.kind()) {
    case ErrorKind::Refused:
    case ErrorKind::Damaged: break;
    case ErrorKind::Io:
        if (const auto* io = dynamic_cast<const IoError*>(&e))
            return {IoErrorMessage(*io, io->code() == iocode::kReadBeyondEnd ? input : output), exitcode::kIoError};
        return {WithFullStop(e.what()), exitcode::kIoError};
    case ErrorKind::Internal:
    case ErrorKind::Stopped: return {"internal error: " + WithFullStop(e.what()), exitcode::kInternal};
    }
    std::string message = e.what();
    if (const auto* exists = dynamic_cast<const OutputExists*>(&e)) {
        message = (exists->path().empty() ? output : exists->path()) + " exists; use --force to replace it";
    } else if (dynamic_cast<const InputChanged*>(&e)) {
        message = input + " changed while it was read";
    } else if (const auto* age = dynamic_cast<const AgeError*>(&e)) {
        message = input.empty() ? message : input + ": " + message;
        // The advice names only a value the option takes.
        if (age->failure() == AgeFailure::WorkFactorTooLarge)
            message += age->workFactor() <= LargestMaxWorkFactor()
                           ? "; allow it with --max-work-factor " + std::to_string(age->workFactor())
                           : "; this machine's memory cannot hold its scrypt run";
    }
    return {message, exitcode::kRefused};
}
