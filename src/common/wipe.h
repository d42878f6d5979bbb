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
