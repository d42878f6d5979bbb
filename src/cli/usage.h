#pragma once

// How the command-line front end ends a command early, with its exit status.

#include <string>

// The command line itself is wrong (exit 2); the command's usage follows the message.
struct UsageError {
    std::string message;
};

// A well-formed command that the tool will not carry out (exit 1).
struct Refusal {
    std::string message;
};

// Something the system does not give the command, such as a closed standard stream (exit 3).
struct Unavailable {
    std::string message;
};

// A signal stopped the command; it exits with 128 + the signal number.
struct Interrupted {
    int signal;
};
