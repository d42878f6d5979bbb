#include <bsd/readpassphrase.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "cli/cli.h"
#include "platform/stoprequest.h"

namespace {
// Longer than a terminal's line in canonical mode (4096 bytes on Linux).
constexpr std::size_t kTypedBytes = 8192;

// readpassphrase restores the terminal when a signal comes and reads into this fixed, wiped
// buffer, never into a string that grows.
std::optional<SecretBytes> AskHidden(const std::string& prompt)
{
    SecretBytes buffer(kTypedBytes);
    char* line = ::readpassphrase(prompt.c_str(), reinterpret_cast<char*>(buffer.data()), buffer.size(), RPP_REQUIRE_TTY);
    if (!line) return std::nullopt;
    buffer.resize(std::strlen(line));  // keeps the one allocation, wiped when freed
    return buffer;
}

std::optional<std::string> Variable(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}
}  // namespace

int main(int argc, char** argv)
{
    // Ctrl-C (or a termination request) stops a run at once, waiting reads and writes included,
    // so the engine removes what it began; a second one ends the process.
    CatchStopRequests();
    CliEnvironment env{std::cout, std::cerr, AskHidden, Variable};
    env.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    env.stopSignal = &StopRequest();
    const int status = RunCli(std::vector<std::string>(argv + 1, argv + argc), env);
    std::cout.flush();
    return std::cout ? status : exitcode::kIoError;
}
