#include "support/terminal.h"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>

namespace {
int StatusOf(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::size_t PassphrasePrompts(std::string shown)
{
    std::ranges::transform(shown, shown.begin(), [](unsigned char c) { return std::tolower(c); });
    std::size_t count = 0;
    for (std::size_t at = 0; (at = shown.find("passphrase", at)) != std::string::npos; at += 10) ++count;
    return count;
}
}  // namespace

int Shell(const std::string& command)
{
    return StatusOf(std::system(command.c_str()));
}

TerminalRun ShellOnTerminal(const std::string& command, const std::vector<std::string>& typed)
{
    int terminal = -1;
    const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0) return {-1, "forkpty failed"};
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // A program that hangs (a prompt never answered) fails the test instead of stopping the run.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    TerminalRun run{-1, {}};
    std::size_t answered = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd readable{terminal, POLLIN, 0};
        if (::poll(&readable, 1, 100) <= 0) continue;
        char buffer[4096];
        const ssize_t n = ::read(terminal, buffer, sizeof buffer);
        if (n <= 0) break;  // EIO once every process of the terminal has closed it
        run.shown.append(buffer, static_cast<std::size_t>(n));
        for (const std::size_t asked = PassphrasePrompts(run.shown); answered < std::min(asked, typed.size());) {
            const std::string line = typed[answered++] + "\n";
            if (::write(terminal, line.data(), line.size()) != static_cast<ssize_t>(line.size())) break;
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(-pid, SIGKILL);  // the whole pipeline: forkpty made it a session
            ::waitpid(pid, &status, 0);
            break;
        }
        ::usleep(10000);
    }
    ::close(terminal);
    run.status = StatusOf(status);
    return run;
}
