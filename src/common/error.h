#pragma once

#include <new>
#include <stdexcept>
#include <string>

// The one error type of the whole program: it carries the message the user sees.
// Every layer raises it; the shell's guard shows it in the error box.
class ZorvantaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
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
