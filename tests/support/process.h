#pragma once

// The built zorvanta-cli as a process of its own: started with chosen standard streams and
// settings of the host shim (tests/support/hostshim.cpp), waited for with a time limit.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

inline const std::string kCliProgram = ZORVANTA_CLI_PROGRAM;

struct Streams {
    int in = STDIN_FILENO, out = STDOUT_FILENO, err = STDERR_FILENO;
};

// Starts zorvanta-cli with args; shim holds ZORVANTA_SHIM_* settings (without the prefix),
// and the shim is preloaded when there are any.
inline pid_t StartCli(const std::vector<std::string>& args, Streams streams = {},
                      const std::map<std::string, std::string>& shim = {})
{
    std::vector<std::string> argv{kCliProgram};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env;
    for (char** variable = environ; *variable; ++variable) env.emplace_back(*variable);
    if (!shim.empty()) {
        env.push_back("LD_PRELOAD=" ZORVANTA_HOST_SHIM);
        // A sanitizer runtime otherwise insists on coming first.
        env.push_back("ASAN_OPTIONS=verify_asan_link_order=0");
        for (const auto& [name, value] : shim) env.push_back("ZORVANTA_SHIM_" + name + "=" + value);
    }
    const auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> result;
        for (std::string& s : strings) result.push_back(s.data());
        result.push_back(nullptr);
        return result;
    };
    auto argvPointers = pointers(argv);
    auto envPointers = pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, streams.in, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, streams.out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, streams.err, STDERR_FILENO);
    pid_t pid = -1;
    if (posix_spawn(&pid, kCliProgram.c_str(), &actions, nullptr, argvPointers.data(), envPointers.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The exit status, 1000 + the signal that killed it, or -1 when it had not ended within the
// limit (it is then killed).
inline int WaitForCli(pid_t pid, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        if (done < 0) return -1;
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Waits until predicate holds, for at most the limit; returns whether it came to hold.
template <class Predicate>
bool Eventually(Predicate predicate, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Whether signal is pending for the process, not yet delivered.
inline bool SignalPending(pid_t pid, int signal)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    bool pending = false;
    for (std::string line; std::getline(status, line);) {
        if (!line.starts_with("SigPnd:") && !line.starts_with("ShdPnd:")) continue;
        const unsigned long long mask = std::stoull(line.substr(line.find(':') + 1), nullptr, 16);
        pending = pending || (mask >> (signal - 1)) & 1;
    }
    return pending;
}
