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
#include "age/ageerror.h"
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

// How many first bytes tell the format: an age file's first line, or a legacy check block.
inline constexpr std::size_t kFormatBytes = 64;

// Opens the input and takes its first peekBytes; Refusal naming the system's reason when it
// does not open.
RunInput OpenForReading(const FileName& input, std::size_t peekBytes = kFormatBytes);
// Opens the output, which replaces an existing file only with --force; Refusal when the
// output is the input, exists, or does not open (naming the system's reason).
RunOutput OpenForWriting(const Command& command, const RunInput& input, const FileName& output,
                         FileOperation operation, MessageWording wording);
// "NAME changed while it was read".
Refusal ChangedRefusal(const FileName& input);
// "NAME exists; use --force to replace it".
Refusal ExistsRefusal(const FileName& output);
// Why an output does not open, from the host's reason: it exists, another run writes it in
// place, or the system's reason.
Refusal OutputRefusal(const FileName& output, int cause, FileOperation operation, MessageWording wording);

void RefusePassphraseFileAsOutput(const ObtainedPassphrase& passphrase, const FileName& output);

bool ShowsProgress(const Command& command, const CliEnvironment& env, const FileName& input);
const std::atomic<int>& StopSignal(const CliEnvironment& env);

// The engine's outcome as a message and an exit status; the refusals of the names, but not the
// wrong passphrase, which each format tells in its own way.
int ReportOutcome(FileOpResult result, FileOperation operation, MessageWording wording, const Command& command,
                  CliEnvironment& env);
// Unless the error names its file, fallbackName is named. Interrupted once a stop was requested.
int ReportIoError(const IoError& e, const std::string& fallbackName, CliEnvironment& env);
// "NAME: the error's text. (the system's reason)".
std::string IoErrorMessage(const IoError& e, const std::string& fallbackName);

// The refusal of an age file, naming it and, for a work factor beyond the limit, the option
// that allows it.
Refusal AgeRefusal(const AgeError& e, const FileName& input);

// Runs a file command, telling the failures of its files: an age file's refusal, an output
// that came to exist, an input that changed, an I/O error (unless the error names its file, a
// read past the end names the input, any other the output).
template <class Run>
int ReportingFileErrors(const FileName& input, const FileName& output, CliEnvironment& env, Run run)
{
    try {
        return run();
    } catch (const AgeError& e) {
        throw AgeRefusal(e, input);
    } catch (const OutputExists&) {
        throw ExistsRefusal(output);
    } catch (const InputChanged&) {
        throw ChangedRefusal(input);
    } catch (const IoError& e) {
        return ReportIoError(e, e.code() == iocode::kReadBeyondEnd ? input.Shown() : output.Shown(), env);
    }
}
