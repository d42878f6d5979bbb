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

// A 32-bit half of the block as its left (high) and right (low) 16-bit words. Kept apart, the
// early left word of FO's result lets the next round start before the late right word is done.
struct Half {
    std::uint32_t left, right;
};

inline Half Split(std::uint32_t x) noexcept
{
    return {x >> 16, x & 0xFFFF};
}

inline std::uint32_t Join(Half h) noexcept
{
    return (h.left << 16) | h.right;
}

inline void XorInto(Half& d, Half f) noexcept
{
    d.left ^= f.left;
    d.right ^= f.right;
}

// Key indices are taken modulo 8; callers pass round numbers known at compile time.
inline Half FO(const Misty1Schedule& ks, Half x, int k) noexcept
{
    auto K = [&](int i) { return ks.K[i % 8]; };
    auto KP = [&](int i) { return ks.KPrime[i % 8]; };
    std::uint32_t t0 = x.left, t1 = x.right;
    t0 = FI(t0 ^ K(k), KP(k + 5)) ^ t1;
    t1 = FI(t1 ^ K(k + 2), KP(k + 1)) ^ t0;
    t0 = FI(t0 ^ K(k + 7), KP(k + 3)) ^ t1;
    t1 ^= K(k + 4);
    return {t1, t0};
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

inline void FL(const Misty1Schedule& ks, Half& d, int k) noexcept
{
    const FLKeys key = KeysOfFL(ks, k);
    d.right ^= d.left & key.andKey;
    d.left ^= d.right | key.orKey;
}

inline void FLInverse(const Misty1Schedule& ks, Half& d, int k) noexcept
{
    const FLKeys key = KeysOfFL(ks, k);
    d.left ^= d.right | key.orKey;
    d.right ^= d.left & key.andKey;
}

// The eight rounds and the last FL layer. The plaintext holds D0 then D1, the ciphertext D1
// then D0 (the RFC's order, but each half little-endian).
inline void EncryptHalves(const Misty1Schedule& ks, Half& d0, Half& d1) noexcept
{
#pragma GCC unroll 4
    for (int i = 0; i < 8; i += 2) {
        FL(ks, d0, i);
        FL(ks, d1, i + 1);
        XorInto(d1, FO(ks, d0, i));
        XorInto(d0, FO(ks, d1, i + 1));
    }
    FL(ks, d0, 8);
    FL(ks, d1, 9);
}

// N independent blocks in lockstep. A ciphertext block holds D1 then D0, a plaintext block D0
// then D1, each half little-endian.
template <std::size_t N>
inline void DecryptBytes(const Misty1Schedule& ks, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    Half d0[N], d1[N];
    for (std::size_t j = 0; j < N; ++j) {
        d1[j] = Split(LoadLE32(in + 8 * j));
        d0[j] = Split(LoadLE32(in + 8 * j + 4));
        FLInverse(ks, d1[j], 9);
        FLInverse(ks, d0[j], 8);
    }
#pragma GCC unroll 4
    for (int i = 6; i >= 0; i -= 2) {
        for (std::size_t j = 0; j < N; ++j) XorInto(d0[j], FO(ks, d1[j], i + 1));
        for (std::size_t j = 0; j < N; ++j) {
            XorInto(d1[j], FO(ks, d0[j], i));
            FLInverse(ks, d0[j], i);
            FLInverse(ks, d1[j], i + 1);
        }
    }
    for (std::size_t j = 0; j < N; ++j) {
        StoreLE32(out + 8 * j, Join(d0[j]));
        StoreLE32(out + 8 * j + 4, Join(d1[j]));
    }
}
}  // namespace

TZC_misty1::TZC_misty1() : BlockCipherModes(11, "Misty1", 128) {}

void TZC_misty1::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    Half d0 = Split(LoadLE32(in)), d1 = Split(LoadLE32(in + 4));
    EncryptHalves(schedule(), d0, d1);
    StoreLE32(out, Join(d1));
    StoreLE32(out + 4, Join(d0));
}

// The chaining block stays in registers from block to block.
void TZC_misty1::EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                  std::uint8_t* cv) const noexcept
{
    std::uint32_t c0 = LoadLE32(cv), c1 = LoadLE32(cv + 4);
    for (std::size_t i = 0; i < blocks; ++i, in += 8, out += 8) {
        Half d0 = Split(LoadLE32(in) ^ c0), d1 = Split(LoadLE32(in + 4) ^ c1);
        EncryptHalves(schedule(), d0, d1);
        c0 = Join(d1);
        c1 = Join(d0);
        StoreLE32(out, c0);
        StoreLE32(out + 4, c1);
    }
    StoreLE32(cv, c0);
    StoreLE32(cv + 4, c1);
}

void TZC_misty1::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    DecryptBytes<1>(schedule(), in, out);
}

void TZC_misty1::DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                  const std::uint8_t* mask) const noexcept
{
    InLanes<kParallelBlocks>(in, out, blocks, mask, [this](const std::uint8_t* i, std::uint8_t* o, auto lanes) {
        DecryptBytes<lanes>(schedule(), i, o);
    });
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
