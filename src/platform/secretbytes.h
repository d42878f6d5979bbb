#pragma once

// Bytes that must not outlive their use in memory: a passphrase and whatever is made from it.
// The allocator overwrites every block before it gives it back, so neither the vector's
// destruction nor its growth leaves a copy behind.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "cipher/bitops.h"

template <class T>
struct WipingAllocator {
    using value_type = T;

    WipingAllocator() noexcept = default;
    template <class U>
    WipingAllocator(const WipingAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) { return std::allocator<T>{}.allocate(count); }
    void deallocate(T* block, std::size_t count) noexcept
    {
        SecureFill(block, count * sizeof(T), 0);
        std::allocator<T>{}.deallocate(block, count);
    }

    template <class U>
    bool operator==(const WipingAllocator<U>&) const noexcept { return true; }
};

using SecretBytes = std::vector<std::uint8_t, WipingAllocator<std::uint8_t>>;

inline SecretBytes ToSecretBytes(std::string_view text)
{
    return SecretBytes(text.begin(), text.end());
}

inline std::string_view AsText(const SecretBytes& bytes) noexcept
{
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}
