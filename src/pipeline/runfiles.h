#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "pipeline/fileoutcome.h"
#include "platform/posixfile.h"

// The input of a run, open, with the first bytes already taken from it to tell its format.
struct RunInput {
    std::string name;  // as given
    InputFile file;
    std::vector<std::uint8_t> taken;  // read from the file already; the body follows them
};

// The output of a run, open.
struct RunOutput {
    std::string name;  // as given
    OutputFile file;
};

// Why a run did not begin: the outcome, and for a file that did not open the host's reason
// (an errno value, 0 when there is none).
struct RunRefusal {
    FileOpResult result;
    int cause = 0;
};

// The outcome that refuses a run's names before anything is opened: a name missing, or the
// same name twice.
std::optional<FileOpResult> RefusedNames(const std::string& inputName, const std::string& outputName);

// Opens the named input and takes up to peekBytes from its current offset (fewer only at its
// end); the refusal otherwise.
std::variant<RunInput, RunRefusal> OpenRunInput(const std::string& name, std::size_t peekBytes,
                                                const SystemCalls& calls);

// Opens the output of a run on input; the refusal otherwise: the input's own file under any
// name, or a target that cannot be written (or exists, where it may not be replaced).
std::variant<RunOutput, RunRefusal> OpenRunOutput(const RunInput& input, const std::string& outputName,
                                                  const SystemCalls& calls,
                                                  OutputFile::Existing existing = OutputFile::Existing::Replace);

// Tells the observer, before anything is written, when output is written in place: a failure
// then leaves the target cut short.
void TellWrittenInPlace(const RunOutput& output, const FileOpOptions& options);

// Runs run(RunInput, RunOutput) on the named files, which may replace an existing output; the
// outcome that refuses them otherwise.
template <class Run>
FileOpResult WithNamedFiles(const std::string& inputName, const std::string& outputName, std::size_t peekBytes,
                            const FileOpOptions& options, Run run)
{
    if (const auto refusal = RefusedNames(inputName, outputName)) return *refusal;
    auto input = OpenRunInput(inputName, peekBytes, *options.calls);
    if (const auto* refusal = std::get_if<RunRefusal>(&input)) return refusal->result;
    auto output = OpenRunOutput(std::get<RunInput>(input), outputName, *options.calls);
    if (const auto* refusal = std::get_if<RunRefusal>(&output)) return refusal->result;
    TellWrittenInPlace(std::get<RunOutput>(output), options);
    return run(std::move(std::get<RunInput>(input)), std::move(std::get<RunOutput>(output)));
}

// Ends a run whose every byte is written: checks that the input did not change while it was
// read (InputChanged), closes it and commits the output, so that every failure comes before
// the commit and a reported error never replaces a file.
void FinishRun(RunInput& input, RunOutput& output, const FileOpOptions& options);

// The input's size when it is a regular file.
std::optional<std::uint64_t> SizeOf(const struct stat& info);
// How many of an input's total bytes, when known, stand from start on.
std::optional<std::uint64_t> BytesFrom(std::optional<std::uint64_t> total, std::uint64_t start);
