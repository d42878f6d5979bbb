#pragma once

// Other programs run from the tests: through the shell, or on a pseudo-terminal of their own
// for those that read a passphrase only from a terminal (age).

#include <string>
#include <vector>

// The exit status of sh -c command; -1 when a signal ended it.
int Shell(const std::string& command);

struct TerminalRun {
    int status;         // -1 when a signal ended it or it did not end in time
    std::string shown;  // what it wrote to the terminal
};

// Runs sh -c command on a new pseudo-terminal that is its controlling terminal, so /dev/tty is
// there even when its standard streams are files or pipes, and types the next of the lines
// each time what the terminal shows asks for a passphrase once more.
TerminalRun ShellOnTerminal(const std::string& command, const std::vector<std::string>& typed);
