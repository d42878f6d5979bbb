#include "platform/stoprequest.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "platform/signalcleanup.h"

namespace {
std::atomic<bool> catching{false};
std::atomic<int> requested{0};
// Readable once a stop is requested, for the waits that begin after the signal. Set before
// catching begins, never closed.
int wakeRead = -1;
int wakeWrite = -1;

// The threads inside a call that may wait without end, so that the request interrupts it.
constexpr int kWaiters = 32;
std::atomic<pid_t> waiters[kWaiters];
static_assert(std::atomic<pid_t>::is_always_lock_free);

bool MayWaitWithoutEnd(int fd)
{
    struct stat info;
    return ::fstat(fd, &info) == 0 && (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) || S_ISCHR(info.st_mode));
}
}  // namespace

void CatchStopRequests()
{
    static std::once_flag once;
    std::call_once(once, [] {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return;
        wakeRead = ends[0];
        wakeWrite = ends[1];
        catching.store(true);
        InstallSignalHandlers();
    });
}

const std::atomic<int>& StopRequest() noexcept
{
    return requested;
}

void ThrowIfStopRequested()
{
    if (const int signal = requested.load()) throw StopRequested(signal);
}

StreamWait::StreamWait(int fd, short events)
{
    if (!catching.load() || !MayWaitWithoutEnd(fd)) return;
    const pid_t self = ::gettid();
    for (int i = 0; i < kWaiters && slot_ < 0; ++i) {
        pid_t free = 0;
        if (waiters[i].compare_exchange_strong(free, self)) slot_ = i;
    }
    pollfd ready[] = {{fd, events, 0}, {wakeRead, POLLIN, 0}};
    for (;;) {
        if (const int signal = requested.load()) {
            Leave();
            throw StopRequested(signal);
        }
        const int count = ::poll(ready, 2, -1);
        if (count < 0 && errno == EINTR) continue;
        // Ready, or a failure or hang-up that the call itself reports.
        if (count < 0 || !(ready[1].revents & POLLIN)) return;
    }
}

void StreamWait::Leave() noexcept
{
    if (slot_ >= 0) waiters[slot_].store(0);
    slot_ = -1;
}

bool TakeStopRequest(int signal) noexcept
{
    if (!catching.load() || (signal != SIGINT && signal != SIGTERM && signal != SIGHUP)) return false;
    int none = 0;
    if (!requested.compare_exchange_strong(none, signal)) return false;
    const char byte = 1;
    (void)!::write(wakeWrite, &byte, 1);
    // The same signal, sent to one thread, ends its wait with EINTR; the handler knows it as a
    // wake-up by its sender.
    const pid_t self = ::gettid();
    for (const auto& waiter : waiters)
        if (const pid_t thread = waiter.load(); thread != 0 && thread != self)
            ::syscall(SYS_tgkill, ::getpid(), thread, signal);
    return true;
}
