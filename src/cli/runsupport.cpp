#include "cli/runsupport.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <variant>

#include "platform/ownstream.h"
#include "platform/posixfile.h"

namespace {
bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The system's reason why the input does not open, for the message that names it.
std::string OpenFailureCause(const std::string& path)
{
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() >= 0) return std::strerror(EISDIR);  // it opens, so OpenInput refused a folder
    return std::strerror(errno);
}

// How many first bytes tell the format: an age file's first line, or a legacy check block.
constexpr std::size_t kPeekBytes = 64;
}  // namespace

FileName Input(const std::string& typed, const CliEnvironment& env)
{
    return typed == "-" ? FileName{typed, env.standardInput, "standard input"} : FileName{typed, typed, typed};
}

FileName Output(const std::string& typed, const CliEnvironment& env)
{
    return typed == "-" ? FileName{typed, env.standardOutput, "standard output"} : FileName{typed, typed, typed};
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

Refusal InputOpenRefusal(const FileName& input)
{
    return Refusal{input.Shown() + ": " + FileOpMessage(FileOpResult::InputOpenFailed, FileOperation::Decrypt) + " (" +
                   OpenFailureCause(input.path) + ")"};
}

RunInput OpenForReading(const FileName& input)
{
    auto opened = OpenRunInput(input.path, kPeekBytes, HostCalls());
    if (std::holds_alternative<FileOpResult>(opened)) throw InputOpenRefusal(input);
    return std::move(std::get<RunInput>(opened));
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
                  const std::pair<FileName, FileName>& names, CliEnvironment& env)
{
    switch (result) {
    case FileOpResult::Encrypted:
    case FileOpResult::Decrypted:
        if (!command.quiet) env.err << FileOpMessage(result, operation, wording) << '\n';
        return exitcode::kSuccess;
    case FileOpResult::Cancelled: throw Interrupted{StopSignal(env).load()};
    case FileOpResult::InputOpenFailed: throw InputOpenRefusal(names.first);
    case FileOpResult::OutputOpenFailed:
        throw Refusal{names.second.Shown() + ": " + FileOpMessage(result, operation, wording)};
    default: throw Refusal{FileOpMessage(result, operation, wording)};
    }
}

int ReportIoError(const IoError& e, const std::string& fallbackName, std::ostream& err)
{
    err << kPrefix << (e.path().empty() ? fallbackName : e.path()) << ": " << WithFullStop(e.what());
    if (e.hostError() != 0) err << " (" << std::strerror(e.hostError()) << ')';
    err << '\n';
    return exitcode::kIoError;
}
