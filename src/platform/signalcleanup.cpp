#include "platform/signalcleanup.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace {
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ};

enum SlotState : int { kFree, kFilling, kArmed };

// Fixed storage: the handler may neither allocate nor lock.
struct Slot {
    std::atomic<int> state{kFree};
    int folder = -1;
    char name[NAME_MAX + 1] = {};
};
constexpr int kSlots = 64;
Slot slots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free);

void RemoveArmedAndDie(int signal)
{
    const int savedErrno = errno;
    for (Slot& slot : slots)
        if (slot.state.load(std::memory_order_acquire) == kArmed) ::unlinkat(slot.folder, slot.name, 0);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(signal, &fallback, nullptr);
    ::raise(signal);  // delivered with the default action once this handler returns
    errno = savedErrno;
}

// Takes over only the signals that still have their default action.
void InstallHandlers()
{
    for (const int signal : kSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0) continue;
        if ((current.sa_flags & SA_SIGINFO) || current.sa_handler != SIG_DFL) continue;
        struct sigaction cleanup {};
        cleanup.sa_handler = RemoveArmedAndDie;
        ::sigemptyset(&cleanup.sa_mask);
        for (const int other : kSignals) ::sigaddset(&cleanup.sa_mask, other);
        cleanup.sa_flags = SA_RESTART;
        ::sigaction(signal, &cleanup, nullptr);
    }
}
}  // namespace

CleanupSlot::CleanupSlot(int folder, const std::string& name)
{
    static std::once_flag installed;
    std::call_once(installed, InstallHandlers);
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
