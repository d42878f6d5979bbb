#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// What the command-line front end needs from its surroundings, so tests can supply it.
struct CliEnvironment {
    std::ostream& out;
    std::ostream& err;
    // Asks for a line on the terminal without echo; nullopt when there is no terminal.
    std::function<std::optional<std::string>(const std::string& prompt)> askHidden;
    std::function<std::optional<std::string>(const std::string& name)> variable;
};

namespace exitcode {
inline constexpr int kSuccess = 0;
inline constexpr int kRefused = 1;
inline constexpr int kUsage = 2;
inline constexpr int kIoError = 3;
}  // namespace exitcode

// Runs zorvanta-cli with its arguments (without the program name); returns the exit status.
int RunCli(const std::vector<std::string>& args, CliEnvironment& env);
