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

// The input's size when it is a regular file.
std::optional<std::uint64_t> SizeOf(const struct stat& info);
