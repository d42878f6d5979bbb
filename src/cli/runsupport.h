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
#include "formats/fileformat.h"
#include "pipeline/fileoutcome.h"
#include "pipeline/runfiles.h"

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

// Opens the input and takes its first peekBytes; Refusal naming the system's reason when it
// does not open.
RunInput OpenForReading(const FileName& input, std::size_t peekBytes = kFormatPeekBytes);
// Opens the output, which replaces an existing file only with --force; Refusal when the
// output is the input, exists, or does not open (naming the system's reason).
// An output written in place (see OutputFile) says so on standard error, with the reason, since
// a failure then leaves the target cut short.
RunOutput OpenForWriting(const Command& command, const RunInput& input, const FileName& output,
                         FileOperation operation, CliEnvironment& env);
// "NAME exists; use --force to replace it".
Refusal ExistsRefusal(const FileName& output);
// Why an output does not open, from the host's reason: it exists, another run writes it in
// place, or the system's reason.
Refusal OutputRefusal(const FileName& output, int cause, FileOperation operation);

void RefusePassphraseFileAsOutput(const ObtainedPassphrase& passphrase, const FileName& output);

bool ShowsProgress(const Command& command, const CliEnvironment& env, const FileName& input);
const std::atomic<int>& StopSignal(const CliEnvironment& env);

// The engine's outcome as a message and an exit status; the refusals of the names, but not the
// wrong passphrase, which each format tells in its own way.
int ReportOutcome(FileOpResult result, FileOperation operation, const Command& command, CliEnvironment& env);

// What an error of the engines says, and the exit status of its kind (not for a stop
// request's error, which its caller tells). It names the file it concerns: the one it names
// itself, else input for an age file's refusal, a changed input or a read past the end, else
// output. Either name may be empty when there is none.
struct ErrorReport {
    std::string message;
    int status;
};
ErrorReport ReportOf(const ZorvantaError& e, const std::string& input, const std::string& output);

// Runs a file command, telling the errors of its files (see ReportOf). A stop request's
// error, or any once a stop was requested, is left to the caller.
template <class Run>
int ReportingFileErrors(const FileName& input, const FileName& output, CliEnvironment& env, Run run)
{
    try {
        return run();
    } catch (const ZorvantaError& e) {
        if (e.kind() == ErrorKind::Stopped || StopSignal(env).load()) throw;
        const ErrorReport report = ReportOf(e, input.Shown(), output.Shown());
        env.err << kPrefix << report.message << '\n';
        return report.status;
    }
}
