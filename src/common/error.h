#pragma once

#include <new>
#include <stdexcept>
#include <string>

// What a failure means for the run it ended, decided where it is raised, so that every front
// end tells it the same way: a batch counts its file by it, the command line chooses its exit
// status by it.
enum class ErrorKind {
    Internal,  // a fault of the program, or a library failing: nothing a user can mend
    Refused,   // the input or output is not one the run takes (a foreign file, a wrong key, an
               // output that exists, an input that changed); nothing was made
    Damaged,   // the input fails its authentication: damaged, cut short or tampered with
    Io,        // a read or write failed in mid-run
    Stopped,   // a stop request ended the run
};

// The one error type of the whole program: it carries the message the user sees and its kind.
// Every layer raises it; the shell's guard shows it in the error box.
class ZorvantaError : public std::runtime_error {
public:
    explicit ZorvantaError(const std::string& message, ErrorKind kind = ErrorKind::Internal)
        : std::runtime_error(message), kind_(kind)
    {
    }
    ErrorKind kind() const noexcept { return kind_; }

private:
    ErrorKind kind_;
};

// Memory the system did not give for a task that says which: a std::bad_alloc, handled as
// every failure of the system is, but with its own message.
class OutOfMemory : public std::bad_alloc {
public:
    explicit OutOfMemory(const std::string& message) : message_(message) {}
    const char* what() const noexcept override { return message_.what(); }

private:
    std::runtime_error message_;  // copied without throwing
};

// An error's message as the error box shows it: a full stop is appended when the last
// character sorts after "." (a letter or digit), not after ".", a space, "!" or ")".
inline std::string WithFullStop(std::string message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
    return message;
}
