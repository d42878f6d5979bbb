#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "pipeline/fileoutcome.h"
#include "platform/namedfailure.h"
#include "platform/posixfile.h"

// The input of a run, open, with the first bytes already taken from it to tell its format.
struct RunInput {
    std::string name;  // as typed
    InputFile file;
    std::vector<std::uint8_t> taken;  // read from the file already; the body follows them
};

// The outcome that refuses a run's names before anything is opened: a name missing, or the
// same name twice.
std::optional<FileOpResult> RefusedNames(const std::string& inputName, const std::string& outputName);

// Opens the named input and takes up to peekBytes from its start (fewer only at its end); the
// outcome that refuses it otherwise.
std::variant<RunInput, FileOpResult> OpenRunInput(const std::string& name, std::size_t peekBytes,
                                                  const SystemCalls& calls);

// Opens the output of a run on input; the outcome that refuses it otherwise: the input's own
// file under any name, or a target that cannot be written.
std::variant<OutputFile, FileOpResult> OpenRunOutput(const RunInput& input, const std::string& outputName,
                                                     const SystemCalls& calls);

// Opens the named input of a run, taking peekBytes from it, and runs run(RunInput) on it; or
// the outcome that refuses its names or its opening.
template <class Run>
FileOpResult RunOnNamedInput(const std::string& inputName, const std::string& outputName, std::size_t peekBytes,
                             const SystemCalls& calls, Run run)
{
    if (const auto refusal = RefusedNames(inputName, outputName)) return *refusal;
    auto input = OpenRunInput(inputName, peekBytes, calls);
    if (const auto* refusal = std::get_if<FileOpResult>(&input)) return *refusal;
    return run(std::move(std::get<RunInput>(input)));
}

// Opens the output of a run on input and runs body(OutputFile&) with it. Unless body ends the
// run with an outcome of its own (a refusal, Cancelled), the input is closed and the output
// committed, and the run ends in success. Every failure comes before the commit, so that a
// reported error never replaces a file.
template <class Body>
FileOpResult RunToOutput(RunInput& input, const std::string& outputName, const SystemCalls& calls,
                         FileOpResult success, Body body)
{
    auto opened = OpenRunOutput(input, outputName, calls);
    if (const auto* refusal = std::get_if<FileOpResult>(&opened)) return *refusal;
    OutputFile& output = std::get<OutputFile>(opened);
    if (const std::optional<FileOpResult> ended = body(output)) return *ended;
    NamingFailures(input.name, [&] { input.file.fd.Close(calls); });
    NamingFailures(outputName, [&] { output.Commit(); });
    return success;
}

// The input's size when it is a regular file.
std::optional<std::uint64_t> SizeOf(const struct stat& info);
