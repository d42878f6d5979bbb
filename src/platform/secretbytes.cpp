#include "platform/secretbytes.h"

#include <openssl/crypto.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <new>

namespace {
// Decided once, at the first secret or before it.
enum Placing : int { kUndecided, kOrdinary, kOutOfCoreDumps };
std::atomic<int> placing{kUndecided};

Placing PlacingOfSecrets() noexcept
{
    int decided = kUndecided;
    placing.compare_exchange_strong(decided, kOrdinary);
    return static_cast<Placing>(placing.load());
}

std::size_t PageBytes() noexcept
{
    static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return page;
}
}  // namespace

void KeepSecretsOutOfCoreDumps() noexcept
{
    int undecided = kUndecided;
    placing.compare_exchange_strong(undecided, kOutOfCoreDumps);
}

void* AllocateSecretPages(std::size_t count)
{
    if (PlacingOfSecrets() == kOrdinary) return ::operator new(count);
    // Whole pages, so that marking them marks nothing else. They stay marked when they are
    // reused: marking them back would cost a system call and a split of the heap's mapping
    // for every secret.
    const std::size_t page = PageBytes();
    const std::size_t size = (std::max<std::size_t>(count, 1) + page - 1) / page * page;
    void* block = ::operator new(size, std::align_val_t(page));
    ::madvise(block, size, MADV_DONTDUMP);  // best effort
    return block;
}

void FreeSecretPages(void* block, std::size_t count) noexcept
{
    SecureFill(block, count, 0);
    if (PlacingOfSecrets() == kOrdinary) {
        ::operator delete(block);
    } else {
        ::operator delete(block, std::align_val_t(PageBytes()));
    }
}

bool SecretEquals(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) noexcept
{
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}
