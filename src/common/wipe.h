#pragma once

// Overwriting memory that held a secret.

#include <cstddef>
#include <cstdint>

// Fills memory in a way the optimiser may not drop, even right before the memory dies.
void SecureFill(void* p, std::size_t n, std::uint8_t value) noexcept;

template <class T>
void SecureFillObject(T& object, std::uint8_t value) noexcept
{
    SecureFill(&object, sizeof object, value);
}

// Overwrites kWipedStackBytes of the stack below the caller's frame: what the functions it
// called left there, such as a library's key material spilled by its assembly, which would
// otherwise stay in the memory of a thread that lives on.
inline constexpr std::size_t kWipedStackBytes = 64 * 1024;
void WipeStackBelow() noexcept;
