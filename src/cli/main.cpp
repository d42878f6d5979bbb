#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "cli/cli.h"

namespace {
// Reads one line from the controlling terminal with echo switched off.
std::optional<std::string> AskHidden(const std::string& prompt)
{
    const int tty = ::open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) return std::nullopt;
    [[maybe_unused]] ssize_t ignored = ::write(tty, prompt.data(), prompt.size());
    termios saved{};
    const bool quiet = ::tcgetattr(tty, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(tty, TCSAFLUSH, &silent);
    }
    std::string line;
    char c;
    ssize_t n;
    while ((n = ::read(tty, &c, 1)) == 1 && c != '\n') line += c;
    if (quiet) ::tcsetattr(tty, TCSAFLUSH, &saved);
    ignored = ::write(tty, "\n", 1);
    ::close(tty);
    if (n < 0 || (n == 0 && line.empty())) return std::nullopt;
    return line;
}

std::optional<std::string> Variable(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}
}  // namespace

int main(int argc, char** argv)
{
    CliEnvironment env{std::cout, std::cerr, AskHidden, Variable};
    return RunCli(std::vector<std::string>(argv + 1, argv + argc), env);
}
