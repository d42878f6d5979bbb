#pragma once

// What the desktop program answers on its command line without starting: --help and
// --version print a text and end it, as command-line programs do; anything else starts it.

#include <optional>
#include <string>
#include <vector>

// The text that `zorvanta ARGS...` prints instead of starting, or nullopt when it starts. args
// leave out the program's name.
std::optional<std::string> InformationRequested(const std::vector<std::string>& args);
