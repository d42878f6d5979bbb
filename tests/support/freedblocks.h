#pragma once

// The freed-block scan: this header replaces the global operator new and delete of the test
// program that includes it (in one file only), and while a scan is on, every block freed is
// searched for the scan's patterns before it is released. A copy of a secret that is not
// wiped (a std::string of a passphrase, a plain buffer) shows up here.

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <span>
#include <string>

struct FreedBlockPattern {
    const void* bytes;  // never on the heap, or its own release would be found
    std::size_t size;
    const char* name;
};

namespace freedblocks {
inline std::span<const FreedBlockPattern> patterns;
inline std::atomic<bool> watching = false;
inline std::atomic<unsigned> found = 0;  // one bit per pattern

inline void Scan(void* block) noexcept
{
    if (!watching.load()) return;
    const std::size_t size = malloc_usable_size(block);
    for (std::size_t i = 0; i < patterns.size(); ++i)
        if (::memmem(block, size, patterns[i].bytes, patterns[i].size)) found |= 1u << i;
}

inline void* Allocate(std::size_t size, std::size_t alignment = alignof(std::max_align_t)) noexcept
{
    size = (std::max<std::size_t>(size, 1) + alignment - 1) / alignment * alignment;
    return alignment <= alignof(std::max_align_t) ? std::malloc(size) : std::aligned_alloc(alignment, size);
}

inline void* AllocateOrThrow(std::size_t size, std::size_t alignment = alignof(std::max_align_t))
{
    if (void* block = Allocate(size, alignment)) return block;
    throw std::bad_alloc();
}

// Every block is cleared once searched, so whatever a block holds when it is freed was put
// there since it was allocated, by its owner, and not left over from an earlier owner.
inline void Release(void* block) noexcept
{
    if (!block) return;
    Scan(block);
    ::explicit_bzero(block, malloc_usable_size(block));  // a plain memset before free may be left out
    std::free(block);
}
}  // namespace freedblocks

// Scans every block freed while it lives for patterns (at most 32).
class FreedBlockScan {
public:
    explicit FreedBlockScan(std::span<const FreedBlockPattern> patterns)
    {
        freedblocks::patterns = patterns;
        freedblocks::found = 0;
        freedblocks::watching = true;
    }
    ~FreedBlockScan() { freedblocks::watching = false; }
    FreedBlockScan(const FreedBlockScan&) = delete;
    FreedBlockScan& operator=(const FreedBlockScan&) = delete;

    // The names of the patterns found so far; empty when none.
    std::string Found() const
    {
        std::string names;
        for (std::size_t i = 0; i < freedblocks::patterns.size(); ++i) {
            if (!(freedblocks::found & (1u << i))) continue;
            names += (names.empty() ? "" : ", ") + std::string(freedblocks::patterns[i].name);
        }
        return names;
    }
};

void* operator new(std::size_t size) { return freedblocks::AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return freedblocks::AllocateOrThrow(size); }
void* operator new(std::size_t size, std::align_val_t a)
{
    return freedblocks::AllocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a)
{
    return freedblocks::AllocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return freedblocks::Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return freedblocks::Allocate(size); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return freedblocks::Allocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return freedblocks::Allocate(size, static_cast<std::size_t>(a));
}
void operator delete(void* block) noexcept { freedblocks::Release(block); }
void operator delete[](void* block) noexcept { freedblocks::Release(block); }
void operator delete(void* block, std::size_t) noexcept { freedblocks::Release(block); }
void operator delete[](void* block, std::size_t) noexcept { freedblocks::Release(block); }
void operator delete(void* block, std::align_val_t) noexcept { freedblocks::Release(block); }
void operator delete[](void* block, std::align_val_t) noexcept { freedblocks::Release(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { freedblocks::Release(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { freedblocks::Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { freedblocks::Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { freedblocks::Release(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { freedblocks::Release(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { freedblocks::Release(block); }
