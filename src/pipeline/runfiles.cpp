#include "pipeline/runfiles.h"

std::variant<RunFiles, FileOpResult> OpenRunFiles(const std::string& inputName, const std::string& outputName,
                                                  const SystemCalls& calls)
{
    if (inputName.empty()) return FileOpResult::NoInputName;
    if (outputName.empty()) return FileOpResult::NoOutputName;
    if (outputName == inputName) return FileOpResult::SameNames;

    auto input = OpenInput(inputName);
    if (!input) return FileOpResult::InputOpenFailed;
    // Two names of one file (links, relative and absolute paths) would otherwise lose the input.
    if (OutputFile::IsSameFile(outputName, input->info)) return FileOpResult::SameNames;
    auto output = OutputFile::Open(outputName, calls);
    if (!output) return FileOpResult::OutputOpenFailed;
    return RunFiles{std::move(*input), std::move(*output)};
}

std::optional<std::uint64_t> SizeOf(const struct stat& info)
{
    if (!S_ISREG(info.st_mode)) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}
