// What a terminating signal does with an armed temporary file when the process has a handler
// of its own, ignored the signal from the start, or takes stop requests. (A signal with its
// default action: tests/fileenc/early_end_test.cpp.)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/signalcleanup.h"
#include "platform/stoprequest.h"
#include "support/tempdir.h"

namespace {
enum class Setting { EarlierHandler, IgnoredFromTheStart, StopRequests };

// In a child process: arms a slot for a file, takes the setting, and sends itself the signal
// once, or twice for stop requests. Returns the exit code, or 1000 + the signal that ended it.
int RunChild(Setting setting, int signal, const TempDir& dir)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (setting == Setting::EarlierHandler) ::signal(signal, [](int) { ::_exit(42); });
        if (setting == Setting::IgnoredFromTheStart) ::signal(signal, SIG_IGN);
        if (setting == Setting::StopRequests) CatchStopRequests();
        const int folder = ::open(dir.root().c_str(), O_RDONLY | O_DIRECTORY);
        ::close(::openat(folder, "temporary", O_CREAT | O_WRONLY, 0600));
        const CleanupSlot slot(folder, "temporary");
        ::kill(::getpid(), signal);  // as another process sends it
        if (setting == Setting::StopRequests) {
            const bool kept = ::faccessat(folder, "temporary", F_OK, 0) == 0;
            if (StopRequest().load() != signal || !kept) ::_exit(1);
            ::kill(::getpid(), signal);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}
}  // namespace

TEST(SignalCleanup, TheFileGoesAndTheSignalTakesItsEarlierCourse)
{
    struct Case {
        const char* what;
        Setting setting;
        int signal;
        int status;
        bool fileKept;
    };
    const Case cases[] = {
        {"the program's own handler runs after the cleanup", Setting::EarlierHandler, SIGTERM, 42, false},
        {"a signal ignored from the start stays ignored", Setting::IgnoredFromTheStart, SIGHUP, 0, true},
        {"the first Ctrl-C asks to stop, the second ends the process", Setting::StopRequests, SIGINT, 1000 + SIGINT,
         false},
    };
    for (const Case& c : cases) {
        TempDir dir;
        EXPECT_EQ(RunChild(c.setting, c.signal, dir), c.status) << c.what;
        EXPECT_EQ(std::filesystem::exists(dir.path("temporary")), c.fileKept) << c.what;
    }
}
