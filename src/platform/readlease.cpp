#include "platform/readlease.h"

#include <fcntl.h>
#include <signal.h>

#include <cerrno>
#include <mutex>

namespace {
// A real-time signal, so that breaks of several leases are each delivered, and one that
// nothing else here uses.
int BreakSignal()
{
    return SIGRTMAX - 1;
}

void OnBreak(int, siginfo_t* info, void*)
{
    const int saved = errno;
    ::fcntl(info->si_fd, F_SETLEASE, F_UNLCK);
    errno = saved;
}

void CatchBreaks()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBreak;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(BreakSignal(), &action, nullptr);
    });
}
}  // namespace

ReadLease TakeReadLease(int fd)
{
    CatchBreaks();
    if (::fcntl(fd, F_SETSIG, BreakSignal()) != 0) return ReadLease::Unavailable;
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) return ReadLease::Held;
    return errno == EAGAIN ? ReadLease::InUse : ReadLease::Unavailable;
}

bool ReadLeaseHolds(int fd)
{
    return ::fcntl(fd, F_GETLEASE) == F_RDLCK;
}
