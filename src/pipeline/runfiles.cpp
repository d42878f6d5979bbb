#include "pipeline/runfiles.h"

#include <algorithm>
#include <cerrno>

#include "platform/namedfailure.h"

std::optional<FileOpResult> RefusedNames(const std::string& inputName, const std::string& outputName)
{
    if (inputName.empty()) return FileOpResult::NoInputName;
    if (outputName.empty()) return FileOpResult::NoOutputName;
    if (outputName == inputName) return FileOpResult::SameNames;
    return std::nullopt;
}

std::variant<RunInput, RunRefusal> OpenRunInput(const std::string& name, std::size_t peekBytes,
                                                const SystemCalls& calls)
{
    auto file = OpenInput(name);
    if (!file) return RunRefusal{FileOpResult::InputOpenFailed, errno};
    RunInput input{name, std::move(*file), std::vector<std::uint8_t>(peekBytes)};
    input.taken.resize(NamingFailures(name, [&] {
        return ReadFull(input.file.fd.get(), input.taken.data(), peekBytes, calls);
    }));
    return input;
}

std::variant<RunOutput, RunRefusal> OpenRunOutput(const RunInput& input, const std::string& outputName,
                                                  const SystemCalls& calls, OutputFile::Existing existing)
{
    // Two names of one file (links, relative and absolute paths) would otherwise lose the input.
    if (OutputFile::IsSameFile(outputName, input.file.info)) return RunRefusal{FileOpResult::SameNames};
    auto output = OutputFile::Open(outputName, calls, existing);
    if (!output) return RunRefusal{FileOpResult::OutputOpenFailed, errno};
    return RunOutput{outputName, std::move(*output)};
}

void TellWrittenInPlace(const RunOutput& output, const FileOpOptions& options)
{
    if (output.file.WritesInPlace() && options.observer)
        options.observer->Notice(output.name + ": written in place (" + std::string(output.file.InPlaceReason()) + ")");
}

void FinishRun(RunInput& input, RunOutput& output, const FileOpOptions& options)
{
    RequireUnchanged(input.file, input.name);
    NamingFailures(input.name, [&] { input.file.fd.Close(*options.calls); });
    NamingFailures(output.name, [&] { output.file.Commit(); });
    if (!output.file.NotKept().empty() && options.observer) options.observer->Notice(output.file.NotKept());
}

std::optional<std::uint64_t> SizeOf(const struct stat& info)
{
    if (!S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

std::optional<std::uint64_t> BytesFrom(std::optional<std::uint64_t> total, std::uint64_t start)
{
    if (!total) return std::nullopt;
    return *total - std::min(*total, start);
}
