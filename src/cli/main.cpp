#include <bsd/readpassphrase.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
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

// A standard stream closed at the start gets /dev/null in its place, so that no file the
// program opens takes its number and is mistaken for it. Returns which were closed.
std::array<bool, 3> OccupyClosedStandardStreams()
{
    std::array<bool, 3> closed{};
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        closed[fd] = ::fcntl(fd, F_GETFD) < 0 && errno == EBADF;
        if (closed[fd]) ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);  // the lowest free number
    }
    return closed;
}

std::optional<std::string> Variable(const std::string& name)
{
    const char* value = std::getenv(name.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
}
}  // namespace

int main(int argc, char** argv)
{
    const auto closed = OccupyClosedStandardStreams();  // before anything else opens a file
    // Ctrl-C (or a termination request) stops a run at once, waiting reads and writes included,
    // so the engine removes what it began; a second one ends the process.
    CatchStopRequests();
    CliEnvironment env{std::cout, std::cerr, AskHidden, Variable};
    env.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    env.errColumns = [] {
        winsize size{};
        return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? int{size.ws_col} : 0;
    };
    env.stopSignal = &StopRequest();
    env.standardInputClosed = closed[STDIN_FILENO];
    env.standardOutputClosed = closed[STDOUT_FILENO];
    if (env.standardOutputClosed) std::cout.setstate(std::ios::badbit);
    const int status = RunCli(std::vector<std::string>(argv + 1, argv + argc), env);
    std::cout.flush();
    if (status != exitcode::kSuccess || std::cout) return status;
    const char* why = env.standardOutputClosed ? "standard output is closed" : "cannot write standard output";
    std::cerr << "zorvanta-cli: " << why << '\n';
    return exitcode::kIoError;
}
