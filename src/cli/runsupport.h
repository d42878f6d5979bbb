#pragma once

// What every file command of zorvanta-cli shares, whatever the format: the names it works on,
// the refusals before a run, the observer's settings and how an outcome or error is told.

#include <sys/stat.h>

#include <atomic>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "cli/cli.h"
#include "cli/options.h"
#include "cli/passphrasesource.h"
#include "cli/usage.h"
#include "pipeline/fileoutcome.h"
#include "pipeline/runfiles.h"
#include "platform/ioerror.h"

inline constexpr const char* kPrefix = "zorvanta-cli: ";

// A name as typed, the path it stands for ("-" is a stream) and how messages call it.
struct FileName {
    std::string typed, path, shown;
    const std::string& Shown() const { return shown; }
    bool IsStream() const { return typed == "-"; }
};

FileName Input(const std::string& typed, const CliEnvironment& env);
FileName Output(const std::string& typed, const CliEnvironment& env);
// The input and output of encrypt and decrypt: two names, or one and -o.
std::pair<FileName, FileName> FileNames(const Command& command, const CliEnvironment& env);

// No cipher named, or "auto" in any letter case: the file's check block tells the cipher.
bool IsAutoCipher(const std::string& cipher);

std::optional<struct stat> StatOf(const std::string& path);
bool IsRegularFile(const std::string& path);

// "NAME: Unable to open the Input File (the system's reason)".
Refusal InputOpenRefusal(const FileName& input);
// Opens the input and takes the first bytes that tell its format; Refusal when it does not open.
RunInput OpenForReading(const FileName& input);

void RefuseExistingOutput(const Command& command, const FileName& input, const FileName& output);
void RefusePassphraseFileAsOutput(const ObtainedPassphrase& passphrase, const FileName& output);

bool ShowsProgress(const Command& command, const CliEnvironment& env, const FileName& input);
const std::atomic<int>& StopSignal(const CliEnvironment& env);

// The engine's outcome as a message and an exit status; every refusal but the wrong passphrase,
// which each format tells in its own way.
int ReportOutcome(FileOpResult result, FileOperation operation, MessageWording wording, const Command& command,
                  const std::pair<FileName, FileName>& names, CliEnvironment& env);
// Unless the error names its file, fallbackName is named.
int ReportIoError(const IoError& e, const std::string& fallbackName, std::ostream& err);
