#pragma once

// Runs zorvanta-cli in this process with a scripted terminal and environment.

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

struct CliRun {
    int status;
    std::string out, err;
};

struct CliScript {
    std::vector<std::string> typed = {};  // lines typed at the prompt, in order; then no terminal
    std::map<std::string, std::string> variables = {};
    std::string standardInput = "/dev/stdin", standardOutput = "/dev/stdout";
    int stopSignal = 0;  // as if this signal had come before the run
};

inline CliRun RunCliWith(const std::vector<std::string>& args, CliScript script = {})
{
    std::ostringstream out, err;
    std::atomic<int> stop{script.stopSignal};
    CliEnvironment env{out, err,
                       [&](const std::string&) -> std::optional<SecretBytes> {
                           if (script.typed.empty()) return std::nullopt;
                           const std::string line = script.typed.front();
                           script.typed.erase(script.typed.begin());
                           return ToSecretBytes(line);
                       },
                       [&](const std::string& name) -> std::optional<std::string> {
                           const auto it = script.variables.find(name);
                           return it == script.variables.end() ? std::nullopt : std::optional(it->second);
                       },
                       script.standardInput, script.standardOutput, false, &stop};
    const int status = RunCli(args, env);
    return {status, out.str(), err.str()};
}
