#include "common/wipe.h"

#include <cstring>

void SecureFill(void* p, std::size_t n, std::uint8_t value) noexcept
{
    std::memset(p, value, n);
    // The empty asm claims to read the memory, so the stores above cannot be elided.
    __asm__ __volatile__("" : : "r"(p) : "memory");
}

__attribute__((noinline)) void WipeStackBelow() noexcept
{
    std::uint8_t below[kWipedStackBytes];
    SecureFill(below, sizeof below, 0);
}
