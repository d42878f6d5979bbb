#include "platform/secretbytes.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <new>

namespace {
std::size_t PageBytes() noexcept
{
    static const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return page;
}

std::size_t InPages(std::size_t count) noexcept
{
    return (std::max<std::size_t>(count, 1) + PageBytes() - 1) / PageBytes() * PageBytes();
}
}  // namespace

void* AllocateSecretPages(std::size_t count)
{
    const std::size_t size = InPages(count);
    void* block = ::operator new(size, std::align_val_t(PageBytes()));
    // Best effort: the process is kept from dumping core as well.
    ::madvise(block, size, MADV_DONTDUMP);
    return block;
}

void FreeSecretPages(void* block, std::size_t count) noexcept
{
    const std::size_t size = InPages(count);
    SecureFill(block, count, 0);
    ::madvise(block, size, MADV_DODUMP);  // the pages go back to ordinary use
    ::operator delete(block, size, std::align_val_t(PageBytes()));
}
