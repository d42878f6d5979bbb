#include "platform/signalcleanup.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

#include "platform/stoprequest.h"

namespace {
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};

enum SlotState : int { kFree, kFilling, kArmed };

// Fixed storage: the handler may neither allocate nor lock.
struct Slot {
    std::atomic<int> state{kFree};
    int folder = -1;
    char name[NAME_MAX + 1] = {};
};
// A file under a temporary name is an output in the making, one at a time for each job: enough
// for the most jobs a batch runs (--jobs 1024), and for the program's own files besides.
constexpr int kSlots = 1024 + 64;
Slot slots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free);

// The actions the signals had before the handler, put back when it passes a signal on.
struct sigaction earlier[NSIG];

void OnSignal(int signal, siginfo_t* info, void*)
{
    const int savedErrno = errno;
    const bool wakeUp = info && info->si_code == SI_TKILL && info->si_pid == ::getpid() && StopRequest().load() != 0;
    if (!wakeUp && !TakeStopRequest(signal)) {
        for (Slot& slot : slots)
            if (slot.state.load(std::memory_order_acquire) == kArmed) ::unlinkat(slot.folder, slot.name, 0);
        ::sigaction(signal, &earlier[signal], nullptr);
        ::raise(signal);  // delivered with the earlier action once this handler returns
    }
    errno = savedErrno;
}
}  // namespace

void InstallSignalHandlers()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (const int signal : kSignals) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) != 0) continue;
            if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN) continue;
            earlier[signal] = current;
            struct sigaction handler {};
            handler.sa_sigaction = OnSignal;
            // No SA_RESTART: a stop request ends the wait of the call it interrupts.
            handler.sa_flags = SA_SIGINFO;
            ::sigemptyset(&handler.sa_mask);
            for (const int other : kSignals) ::sigaddset(&handler.sa_mask, other);
            ::sigaction(signal, &handler, nullptr);
        }
    });
}

CleanupSlot::CleanupSlot(int folder, const std::string& name)
{
    InstallSignalHandlers();
    if (name.size() > NAME_MAX) return;
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (!slots[i].state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) continue;
        slots[i].folder = folder;
        std::memcpy(slots[i].name, name.c_str(), name.size() + 1);
        slots[i].state.store(kArmed, std::memory_order_release);
        index_ = i;
        return;
    }
}

CleanupSlot& CleanupSlot::operator=(CleanupSlot&& other) noexcept
{
    if (this != &other) {
        Disarm();
        index_ = other.index_;
        other.index_ = -1;
    }
    return *this;
}

void CleanupSlot::Disarm() noexcept
{
    if (index_ < 0) return;
    slots[index_].state.store(kFree, std::memory_order_release);
    index_ = -1;
}
