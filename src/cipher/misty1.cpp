#include "cipher/misty1.h"

#include <cstring>

namespace {
#include "cipher/misty1_tables.inc"

inline std::uint32_t FI(std::uint32_t x, std::uint32_t k) noexcept
{
    std::uint32_t d9 = x >> 7, d7 = x & 0x7F;
    d9 = kS9[d9] ^ d7;
    d7 = (kS7[d7] ^ d9) & 0x7F;
    d7 ^= k >> 9;
    d9 ^= k & 0x1FF;
    d9 = kS9[d9] ^ d7;
    return (d7 << 9) | d9;
}

// Key indices are taken modulo 8; callers pass round numbers known at compile time.
inline std::uint32_t FO(const Misty1Schedule& ks, std::uint32_t x, int k) noexcept
{
    auto K = [&](int i) { return ks.K[i % 8]; };
    auto KP = [&](int i) { return ks.KPrime[i % 8]; };
    std::uint32_t t0 = x >> 16, t1 = x & 0xFFFF;
    t0 = FI(t0 ^ K(k), KP(k + 5)) ^ t1;
    t1 = FI(t1 ^ K(k + 2), KP(k + 1)) ^ t0;
    t0 = FI(t0 ^ K(k + 7), KP(k + 3)) ^ t1;
    t1 ^= K(k + 4);
    return (t1 << 16) | t0;
}

// The two key words of FL number k: the one that is ANDed and the one that is ORed.
struct FLKeys {
    std::uint32_t andKey, orKey;
};

inline FLKeys KeysOfFL(const Misty1Schedule& ks, int k) noexcept
{
    const int i = k / 2;
    if (k % 2 == 0) return {ks.K[i], ks.KPrime[(i + 6) % 8]};
    return {ks.KPrime[(i + 2) % 8], ks.K[(i + 4) % 8]};
}

inline std::uint32_t FL(const Misty1Schedule& ks, std::uint32_t x, int k) noexcept
{
    const FLKeys key = KeysOfFL(ks, k);
    std::uint32_t d0 = x >> 16, d1 = x & 0xFFFF;
    d1 ^= d0 & key.andKey;
    d0 ^= d1 | key.orKey;
    return (d0 << 16) | d1;
}

inline std::uint32_t FLInverse(const Misty1Schedule& ks, std::uint32_t x, int k) noexcept
{
    const FLKeys key = KeysOfFL(ks, k);
    std::uint32_t d0 = x >> 16, d1 = x & 0xFFFF;
    d0 ^= d1 | key.orKey;
    d1 ^= d0 & key.andKey;
    return (d0 << 16) | d1;
}

// N independent blocks in lockstep. A block is D0 (bytes 0..3) and D1 (bytes 4..7) on input
// and leaves as D1, D0 — the RFC's order, with little-endian halves.
template <std::size_t N>
inline void EncryptBytes(const Misty1Schedule& ks, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    std::uint32_t d0[N], d1[N];
    for (std::size_t j = 0; j < N; ++j) {
        d0[j] = LoadLE32(in + 8 * j);
        d1[j] = LoadLE32(in + 8 * j + 4);
    }
#pragma GCC unroll 8
    for (int i = 0; i < 8; i += 2) {
        for (std::size_t j = 0; j < N; ++j) {
            d0[j] = FL(ks, d0[j], i);
            d1[j] = FL(ks, d1[j], i + 1);
            d1[j] ^= FO(ks, d0[j], i);
        }
        for (std::size_t j = 0; j < N; ++j) d0[j] ^= FO(ks, d1[j], i + 1);
    }
    for (std::size_t j = 0; j < N; ++j) {
        StoreLE32(out + 8 * j, FL(ks, d1[j], 9));
        StoreLE32(out + 8 * j + 4, FL(ks, d0[j], 8));
    }
}

template <std::size_t N>
inline void DecryptBytes(const Misty1Schedule& ks, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    std::uint32_t d0[N], d1[N];
    for (std::size_t j = 0; j < N; ++j) {
        d1[j] = FLInverse(ks, LoadLE32(in + 8 * j), 9);
        d0[j] = FLInverse(ks, LoadLE32(in + 8 * j + 4), 8);
    }
#pragma GCC unroll 8
    for (int i = 6; i >= 0; i -= 2) {
        for (std::size_t j = 0; j < N; ++j) d0[j] ^= FO(ks, d1[j], i + 1);
        for (std::size_t j = 0; j < N; ++j) {
            d1[j] ^= FO(ks, d0[j], i);
            d0[j] = FLInverse(ks, d0[j], i);
            d1[j] = FLInverse(ks, d1[j], i + 1);
        }
    }
    for (std::size_t j = 0; j < N; ++j) {
        StoreLE32(out + 8 * j, d0[j]);
        StoreLE32(out + 8 * j + 4, d1[j]);
    }
}
}  // namespace

TZC_misty1::TZC_misty1() : BlockCipherModes(11, "Misty1", 128) {}

void TZC_misty1::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    EncryptBytes<1>(schedule(), in, out);
}

void TZC_misty1::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    DecryptBytes<1>(schedule(), in, out);
}

void TZC_misty1::DecryptBlocks(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    DecryptBytes<kParallelBlocks>(schedule(), in, out);
}

void TZC_misty1::ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept
{
    // A shorter key is the full key with zero bytes appended; the words are big-endian.
    std::uint8_t full[16] = {};
    std::memcpy(full, key, keyBytes);
    Misty1Schedule& ks = schedule();
    for (int i = 0; i < 8; ++i) ks.K[i] = (std::uint32_t{full[2 * i]} << 8) | full[2 * i + 1];
    SecureFill(full, sizeof full, 0xFF);
    for (int i = 0; i < 8; ++i) ks.KPrime[i] = FI(ks.K[i], ks.K[(i + 1) % 8]);
}
