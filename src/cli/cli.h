#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/exitstatus.h"
#include "platform/secretbytes.h"

// What the command-line front end needs from its surroundings, so tests can supply it.
struct CliEnvironment {
    std::ostream& out;  // data and what the user asked to see (help, lists, self-test lines)
    std::ostream& err;  // every status and error line
    // Asks for a line on the terminal without echo; nullopt when there is no terminal or the
    // user interrupted.
    std::function<std::optional<SecretBytes>(const std::string& prompt)> askHidden;
    std::function<std::optional<std::string>(const std::string& name)> variable;
    // What "-" stands for as INPUT and as OUTPUT.
    std::string standardInput = "/dev/stdin";
    std::string standardOutput = "/dev/stdout";
    bool errIsTerminal = false;  // shows progress for long inputs
    // Set to a signal number by the program's handler; a run that sees it stops cleanly.
    const std::atomic<int>* stopSignal = nullptr;
    // Closed when the program started: "-" may not stand for them.
    bool standardInputClosed = false;
    bool standardOutputClosed = false;
    std::function<int()> errColumns = nullptr;  // the width of err's terminal, for the progress line
};

// Runs zorvanta-cli with its arguments (without the program name); returns the exit status.
int RunCli(const std::vector<std::string>& args, CliEnvironment& env);

// zorvanta-cli as a process, all of main but the terminal's prompt, which askHidden stands for:
// it takes over the process's standard streams and stop signals, keeps the process from
// dumping core, and overwrites its copies of the arguments (a passphrase among them).
int RunCliProcess(int argc, char** argv, std::function<std::optional<SecretBytes>(const std::string&)> askHidden);
