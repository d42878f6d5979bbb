#pragma once

#include <stdexcept>
#include <string>

// The one error type of the whole program: it carries the message the user sees.
// Every layer raises it; the shell's guard shows it in the error box.
class ZorvantaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
