#pragma once

#include <string>
#include <variant>

#include "pipeline/fileoutcome.h"
#include "platform/posixfile.h"

// The input and output of a run, opened after the checks that every run makes first.
struct RunFiles {
    InputFile input;
    OutputFile output;
};

// The files, or the outcome that refuses them: no name, one file under two names, a file that
// does not open.
std::variant<RunFiles, FileOpResult> OpenRunFiles(const std::string& inputName, const std::string& outputName,
                                                  const SystemCalls& calls);

// The input's size when it is a regular file.
std::optional<std::uint64_t> SizeOf(const struct stat& info);
