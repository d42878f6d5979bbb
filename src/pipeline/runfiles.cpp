#include "pipeline/runfiles.h"

#include "platform/namedfailure.h"

std::optional<FileOpResult> RefusedNames(const std::string& inputName, const std::string& outputName)
{
    if (inputName.empty()) return FileOpResult::NoInputName;
    if (outputName.empty()) return FileOpResult::NoOutputName;
    if (outputName == inputName) return FileOpResult::SameNames;
    return std::nullopt;
}

std::variant<RunInput, FileOpResult> OpenRunInput(const std::string& name, std::size_t peekBytes,
                                                  const SystemCalls& calls)
{
    auto file = OpenInput(name);
    if (!file) return FileOpResult::InputOpenFailed;
    RunInput input{name, std::move(*file), std::vector<std::uint8_t>(peekBytes)};
    input.taken.resize(NamingFailures(name, [&] {
        return ReadFull(input.file.fd.get(), input.taken.data(), peekBytes, calls);
    }));
    return input;
}

std::variant<OutputFile, FileOpResult> OpenRunOutput(const RunInput& input, const std::string& outputName,
                                                     const SystemCalls& calls)
{
    // Two names of one file (links, relative and absolute paths) would otherwise lose the input.
    if (OutputFile::IsSameFile(outputName, input.file.info)) return FileOpResult::SameNames;
    auto output = OutputFile::Open(outputName, calls);
    if (!output) return FileOpResult::OutputOpenFailed;
    return std::move(*output);
}

std::optional<std::uint64_t> SizeOf(const struct stat& info)
{
    if (!S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}
