#pragma once

// Blowfish's rounds, written once over the look-up index of F's second byte, Byte2, which each
// file that compiles them defines before it includes this: blowfish.cpp with shifts, which
// every x86-64 processor has, and blowfish_bmi.cpp, compiled for BMI1, with one bit-field
// extraction, a step shorter on the path from round to round, which is all CBC encryption
// waits for. The templates sit in an unnamed namespace, so that each file keeps copies of its
// own, compiled for its own instruction set.

#include <cstddef>
#include <cstdint>

#include "cipher/bitops.h"
#include "cipher/blowfish.h"

// The kernels of blowfish_bmi.cpp: only where the processor has BMI1. DecryptBmi takes
// lanes blocks, 1 or TZC_blowfish::kParallelBlocks.
void BlowfishEncryptCbcBmi(const BlowfishSchedule& ks, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                           std::uint8_t* cv) noexcept;
void BlowfishDecryptBmi(const BlowfishSchedule& ks, const std::uint8_t* in, std::uint8_t* out,
                        std::size_t lanes) noexcept;

namespace {
// Indexed in 64 bits, which spares the compiler a zero extension of each index.
inline std::uint32_t F(const BlowfishSchedule& ks, std::uint32_t x32) noexcept
{
    const std::uint64_t x = x32;
    return ((ks.S[0][x >> 24] + ks.S[1][Byte2(x)]) ^ ks.S[2][(x >> 8) & 0xFF]) + ks.S[3][x & 0xFF];
}

// Runs N independent blocks in lockstep, so their table look-ups overlap.
// Encryption takes P0..P17 forwards, decryption backwards. Each half takes its round's P before
// the other half's F is known, so that only one XOR follows F on the path from round to round.
template <std::size_t N, bool kDecrypt>
inline void Crypt(const BlowfishSchedule& ks, std::uint32_t (&l)[N], std::uint32_t (&r)[N]) noexcept
{
    auto p = [&](int i) { return kDecrypt ? ks.P[17 - i] : ks.P[i]; };
    for (std::size_t b = 0; b < N; ++b) l[b] ^= p(0);
#pragma GCC unroll 16
    for (int i = 0; i < 16; i += 2) {
        for (std::size_t b = 0; b < N; ++b) r[b] = (r[b] ^ p(i + 1)) ^ F(ks, l[b]);
        for (std::size_t b = 0; b < N; ++b) l[b] = (l[b] ^ p(i + 2)) ^ F(ks, r[b]);
    }
    for (std::size_t b = 0; b < N; ++b) {
        const std::uint32_t t = l[b];  // P16 taken already
        l[b] = r[b] ^ p(17);
        r[b] = t;
    }
}

template <std::size_t N, bool kDecrypt>
inline void CryptBytes(const BlowfishSchedule& ks, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    std::uint32_t l[N], r[N];
    for (std::size_t b = 0; b < N; ++b) {
        l[b] = LoadBE32(in + 8 * b);
        r[b] = LoadBE32(in + 8 * b + 4);
    }
    Crypt<N, kDecrypt>(ks, l, r);
    for (std::size_t b = 0; b < N; ++b) {
        StoreBE32(out + 8 * b, l[b]);
        StoreBE32(out + 8 * b + 4, r[b]);
    }
}

// The chaining block stays in registers from block to block.
inline void EncryptCbc(const BlowfishSchedule& ks, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                       std::uint8_t* cv) noexcept
{
    std::uint32_t l[1] = {LoadBE32(cv)}, r[1] = {LoadBE32(cv + 4)};
    for (std::size_t i = 0; i < blocks; ++i, in += 8, out += 8) {
        l[0] ^= LoadBE32(in);
        r[0] ^= LoadBE32(in + 4);
        Crypt<1, false>(ks, l, r);
        StoreBE32(out, l[0]);
        StoreBE32(out + 4, r[0]);
    }
    StoreBE32(cv, l[0]);
    StoreBE32(cv + 4, r[0]);
}
}  // namespace
