#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <iostream>

#include "cli/cli.h"
#include "platform/secretbytes.h"
#include "platform/stoprequest.h"

namespace {
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

int TerminalColumns()
{
    winsize size{};
    return ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 ? int{size.ws_col} : 0;
}

// The arguments as strings, overwritten before they are freed: one may be a passphrase.
struct Arguments {
    std::vector<std::string> words;
    ~Arguments()
    {
        for (std::string& word : words) WipeString(word);
    }
};
}  // namespace

int RunCliProcess(int argc, char** argv, std::function<std::optional<SecretBytes>(const std::string&)> askHidden)
{
    const auto closed = OccupyClosedStandardStreams();  // before anything else opens a file
    // A core dump would hold the passphrase and the keys made from it.
    ::prctl(PR_SET_DUMPABLE, 0);
    KeepSecretsOutOfCoreDumps();
    // Ctrl-C (or a termination request) stops a run at once, waiting reads and writes included,
    // so the engine removes what it began; a second one ends the process.
    CatchStopRequests();
    CliEnvironment env{std::cout, std::cerr, std::move(askHidden), Variable};
    env.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    env.errColumns = TerminalColumns;
    env.stopSignal = &StopRequest();
    env.standardInputClosed = closed[STDIN_FILENO];
    env.standardOutputClosed = closed[STDOUT_FILENO];
    if (env.standardOutputClosed) std::cout.setstate(std::ios::badbit);
    const Arguments arguments{std::vector<std::string>(argv + 1, argv + argc)};
    const int status = RunCli(arguments.words, env);
    std::cout.flush();
    if (status != exitcode::kSuccess || std::cout) return status;
    const char* why = env.standardOutputClosed ? "standard output is closed" : "cannot write standard output";
    std::cerr << "zorvanta-cli: " << why << '\n';
    return exitcode::kIoError;
}
