#pragma once

// Bit and byte helpers shared by the ciphers, SHA-1 and the modes.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/wipe.h"

inline constexpr std::uint32_t RotateLeft32(std::uint32_t x, unsigned n) noexcept
{
    return std::rotl(x, static_cast<int>(n & 31));
}

inline constexpr std::uint32_t RotateRight32(std::uint32_t x, unsigned n) noexcept
{
    return std::rotr(x, static_cast<int>(n & 31));
}

inline constexpr std::uint32_t ByteSwap32(std::uint32_t x) noexcept
{
    return (x << 24) | ((x << 8) & 0x00FF0000u) | ((x >> 8) & 0x0000FF00u) | (x >> 24);
}

// out[i] = a[i] ^ b[i] for i < n; n of 0 or less does nothing.
void XorBlock(const void* a, const void* b, void* out, int n) noexcept;

inline std::uint32_t LoadBE32(const std::uint8_t* p) noexcept
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return __builtin_bswap32(v);
}

inline void StoreBE32(std::uint8_t* p, std::uint32_t v) noexcept
{
    v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

inline std::uint32_t LoadLE32(const std::uint8_t* p) noexcept
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void StoreLE32(std::uint8_t* p, std::uint32_t v) noexcept
{
    std::memcpy(p, &v, 4);
}

// a ^= b over N bytes, N a multiple of 8 (one cipher block).
template <std::size_t N>
inline void XorInto(std::uint8_t* a, const std::uint8_t* b) noexcept
{
    static_assert(N % 8 == 0);
    for (std::size_t i = 0; i < N; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        x ^= y;
        std::memcpy(a + i, &x, 8);
    }
}

static_assert(std::endian::native == std::endian::little, "the ciphers assume a little-endian host");
