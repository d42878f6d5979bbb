#pragma once

// IDEA's rounds and the transposes of its wide decryption, written once over a word type W: one
// 16-bit word (one block at a time, for encryption, whose CBC chain allows nothing else) or a
// vector of 16-bit lanes holding the same word of several blocks (for decryption, whose blocks
// are independent). Each file that compiles them includes this after its word types'
// operations (Add, Sub, Xor, Or, And, Low, High, Greater, Equal, SwapBytes, Unpack16/32/64,
// LoadLanes, StoreLanes, Broadcast), which the templates call: idea.cpp for one word and 8 lanes
// (SSE2, which every x86-64 processor has), idea_avx2.cpp, compiled for AVX2, for 16. The
// templates sit in an unnamed namespace, so that each file keeps copies of its own, compiled
// for its own instruction set.

#include <cstddef>
#include <cstdint>
#include <type_traits>

// Decrypts 16 blocks with the subkeys k (idea_avx2.cpp): only where the processor has AVX2.
void IdeaCryptSixteenBlocks(const std::uint16_t* k, const std::uint8_t* in, std::uint8_t* out) noexcept;

namespace {
template <class V>
inline V Mul(const V& a, const V& b) noexcept
{
    const V lo = Low(a, b);
    const V hi = High(a, b);
    // The vectors compare only signed words: flipping the top bits turns lo < hi into a signed test.
    const V sign = Broadcast(0x8000, a);
    const V borrow = Greater(Xor(hi, sign), Xor(lo, sign));
    const V product = Sub(Sub(lo, hi), borrow);
    // Where a factor is 0 the product above is 0, and the result is 1 - a - b.
    const V zero = Broadcast(0, a);
    const V factorZero = Or(Equal(a, zero), Equal(b, zero));
    const V zeroCase = Sub(Sub(Broadcast(1, a), a), b);
    return Or(product, And(factorZero, zeroCase));
}

template <class W>
inline W Subkey(std::uint16_t k) noexcept
{
    if constexpr (std::is_integral_v<W>)
        return k;
    else
        return Broadcast(k, W{});
}

// The eight rounds and the output transformation; k is the encryption or decryption subkey set.
template <class W>
inline void Transform(const std::uint16_t* k, W& x1, W& x2, W& x3, W& x4) noexcept
{
#pragma GCC unroll 8
    for (int round = 0; round < 8; ++round, k += 6) {
        x1 = Mul(x1, Subkey<W>(k[0]));
        x2 = Add(x2, Subkey<W>(k[1]));
        x3 = Add(x3, Subkey<W>(k[2]));
        x4 = Mul(x4, Subkey<W>(k[3]));
        const W s3 = x3;
        x3 = Mul(Xor(x3, x1), Subkey<W>(k[4]));
        const W s2 = x2;
        x2 = Mul(Add(Xor(x2, x4), x3), Subkey<W>(k[5]));
        x3 = Add(x3, x2);
        x1 = Xor(x1, x2);
        x4 = Xor(x4, x3);
        x2 = Xor(x2, s3);
        x3 = Xor(x3, s2);
    }
    // The output transformation undoes the last round's exchange of the middle words.
    const W middle = x2;
    x1 = Mul(x1, Subkey<W>(k[0]));
    x2 = Add(x3, Subkey<W>(k[1]));
    x3 = Add(middle, Subkey<W>(k[2]));
    x4 = Mul(x4, Subkey<W>(k[3]));
}

// sizeof(V) / 2 blocks: each register loaded holds sizeof(V) / 8 of them; a 16-bit transpose
// within each 128-bit half gathers word i of every block into one register, and the inverse
// transpose scatters them back to where they came from.
template <class V>
inline void CryptBlocks(const std::uint16_t* k, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    constexpr std::size_t kBytes = sizeof(V);
    V r[4];
    for (std::size_t i = 0; i < 4; ++i) r[i] = LoadLanes(in + kBytes * i, V{});
    const V a = Unpack16(r[0], r[1], false), b = Unpack16(r[0], r[1], true);
    const V c = Unpack16(r[2], r[3], false), d = Unpack16(r[2], r[3], true);
    const V words01 = Unpack16(a, b, false), words23 = Unpack16(a, b, true);
    const V words45 = Unpack16(c, d, false), words67 = Unpack16(c, d, true);
    V x1 = SwapBytes(Unpack64(words01, words45, false));
    V x2 = SwapBytes(Unpack64(words01, words45, true));
    V x3 = SwapBytes(Unpack64(words23, words67, false));
    V x4 = SwapBytes(Unpack64(words23, words67, true));

    Transform(k, x1, x2, x3, x4);

    x1 = SwapBytes(x1);
    x2 = SwapBytes(x2);
    x3 = SwapBytes(x3);
    x4 = SwapBytes(x4);
    const V low12 = Unpack16(x1, x2, false), low34 = Unpack16(x3, x4, false);
    const V high12 = Unpack16(x1, x2, true), high34 = Unpack16(x3, x4, true);
    StoreLanes(out, Unpack32(low12, low34, false));
    StoreLanes(out + kBytes, Unpack32(low12, low34, true));
    StoreLanes(out + 2 * kBytes, Unpack32(high12, high34, false));
    StoreLanes(out + 3 * kBytes, Unpack32(high12, high34, true));
}
}  // namespace
