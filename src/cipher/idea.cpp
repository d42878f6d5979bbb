#include "cipher/idea.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace {
// The round code below is written once over a word type W: one 16-bit word (one block at a
// time, for encryption, whose CBC chain allows nothing else) or a vector of 16-bit lanes
// holding the same word of several blocks (for decryption, whose blocks are independent).
using Word = std::uint16_t;

inline Word Mul(Word a, Word b) noexcept { return IdeaMultiply(a, b); }
inline Word Add(Word a, Word b) noexcept { return static_cast<Word>(a + b); }
inline Word Xor(Word a, Word b) noexcept { return static_cast<Word>(a ^ b); }

// Word i of 8 blocks (SSE2, which every x86-64 processor has) or of 16 (AVX2).
using Lanes8 = __m128i;
using Lanes16 = __m256i;

#define ZC_AVX2_TARGET __attribute__((target("avx2")))

// The templates below return AVX2 vectors without being AVX2 functions themselves, which GCC
// warns would pass them differently in a call. None is ever called: CryptSixteenBlocks flattens
// every one of them into itself.
#pragma GCC diagnostic ignored "-Wpsabi"

// The vector operations of both widths, so that the round code and the transposes below are
// written once; the multiplication in particular.
inline Lanes8 Add(Lanes8 a, Lanes8 b) noexcept { return _mm_add_epi16(a, b); }
inline Lanes8 Sub(Lanes8 a, Lanes8 b) noexcept { return _mm_sub_epi16(a, b); }
inline Lanes8 Xor(Lanes8 a, Lanes8 b) noexcept { return _mm_xor_si128(a, b); }
inline Lanes8 Or(Lanes8 a, Lanes8 b) noexcept { return _mm_or_si128(a, b); }
inline Lanes8 And(Lanes8 a, Lanes8 b) noexcept { return _mm_and_si128(a, b); }
inline Lanes8 Low(Lanes8 a, Lanes8 b) noexcept { return _mm_mullo_epi16(a, b); }
inline Lanes8 High(Lanes8 a, Lanes8 b) noexcept { return _mm_mulhi_epu16(a, b); }
inline Lanes8 Greater(Lanes8 a, Lanes8 b) noexcept { return _mm_cmpgt_epi16(a, b); }
inline Lanes8 Equal(Lanes8 a, Lanes8 b) noexcept { return _mm_cmpeq_epi16(a, b); }
inline Lanes8 SwapBytes(Lanes8 x) noexcept { return _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8)); }
inline Lanes8 Unpack16(Lanes8 a, Lanes8 b, bool high) noexcept
{
    return high ? _mm_unpackhi_epi16(a, b) : _mm_unpacklo_epi16(a, b);
}
inline Lanes8 Unpack32(Lanes8 a, Lanes8 b, bool high) noexcept
{
    return high ? _mm_unpackhi_epi32(a, b) : _mm_unpacklo_epi32(a, b);
}
inline Lanes8 Unpack64(Lanes8 a, Lanes8 b, bool high) noexcept
{
    return high ? _mm_unpackhi_epi64(a, b) : _mm_unpacklo_epi64(a, b);
}
inline Lanes8 LoadLanes(const std::uint8_t* p, Lanes8) noexcept
{
    return _mm_loadu_si128(reinterpret_cast<const Lanes8*>(p));
}
inline void StoreLanes(std::uint8_t* p, Lanes8 x) noexcept { _mm_storeu_si128(reinterpret_cast<Lanes8*>(p), x); }
inline Lanes8 Broadcast(std::uint16_t k, Lanes8) noexcept { return _mm_set1_epi16(static_cast<short>(k)); }

ZC_AVX2_TARGET inline Lanes16 Add(Lanes16 a, Lanes16 b) noexcept { return _mm256_add_epi16(a, b); }
ZC_AVX2_TARGET inline Lanes16 Sub(Lanes16 a, Lanes16 b) noexcept { return _mm256_sub_epi16(a, b); }
ZC_AVX2_TARGET inline Lanes16 Xor(Lanes16 a, Lanes16 b) noexcept { return _mm256_xor_si256(a, b); }
ZC_AVX2_TARGET inline Lanes16 Or(Lanes16 a, Lanes16 b) noexcept { return _mm256_or_si256(a, b); }
ZC_AVX2_TARGET inline Lanes16 And(Lanes16 a, Lanes16 b) noexcept { return _mm256_and_si256(a, b); }
ZC_AVX2_TARGET inline Lanes16 Low(Lanes16 a, Lanes16 b) noexcept { return _mm256_mullo_epi16(a, b); }
ZC_AVX2_TARGET inline Lanes16 High(Lanes16 a, Lanes16 b) noexcept { return _mm256_mulhi_epu16(a, b); }
ZC_AVX2_TARGET inline Lanes16 Greater(Lanes16 a, Lanes16 b) noexcept { return _mm256_cmpgt_epi16(a, b); }
ZC_AVX2_TARGET inline Lanes16 Equal(Lanes16 a, Lanes16 b) noexcept { return _mm256_cmpeq_epi16(a, b); }
ZC_AVX2_TARGET inline Lanes16 SwapBytes(Lanes16 x) noexcept
{
    return _mm256_or_si256(_mm256_slli_epi16(x, 8), _mm256_srli_epi16(x, 8));
}
ZC_AVX2_TARGET inline Lanes16 Unpack16(Lanes16 a, Lanes16 b, bool high) noexcept
{
    return high ? _mm256_unpackhi_epi16(a, b) : _mm256_unpacklo_epi16(a, b);
}
ZC_AVX2_TARGET inline Lanes16 Unpack32(Lanes16 a, Lanes16 b, bool high) noexcept
{
    return high ? _mm256_unpackhi_epi32(a, b) : _mm256_unpacklo_epi32(a, b);
}
ZC_AVX2_TARGET inline Lanes16 Unpack64(Lanes16 a, Lanes16 b, bool high) noexcept
{
    return high ? _mm256_unpackhi_epi64(a, b) : _mm256_unpacklo_epi64(a, b);
}
ZC_AVX2_TARGET inline Lanes16 LoadLanes(const std::uint8_t* p, Lanes16) noexcept
{
    return _mm256_loadu_si256(reinterpret_cast<const Lanes16*>(p));
}
ZC_AVX2_TARGET inline void StoreLanes(std::uint8_t* p, Lanes16 x) noexcept
{
    _mm256_storeu_si256(reinterpret_cast<Lanes16*>(p), x);
}
ZC_AVX2_TARGET inline Lanes16 Broadcast(std::uint16_t k, Lanes16) noexcept
{
    return _mm256_set1_epi16(static_cast<short>(k));
}

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
    if constexpr (std::is_same_v<W, Word>)
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

struct Block {
    Word x1, x2, x3, x4;
};

inline Block LoadBlock(const std::uint8_t* p) noexcept
{
    const std::uint32_t high = LoadBE32(p), low = LoadBE32(p + 4);
    return {static_cast<Word>(high >> 16), static_cast<Word>(high), static_cast<Word>(low >> 16),
            static_cast<Word>(low)};
}

inline void StoreBlock(std::uint8_t* p, const Block& b) noexcept
{
    StoreBE32(p, std::uint32_t{b.x1} << 16 | b.x2);
    StoreBE32(p + 4, std::uint32_t{b.x3} << 16 | b.x4);
}

inline void CryptBlock(const std::uint16_t* k, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    Block b = LoadBlock(in);
    Transform(k, b.x1, b.x2, b.x3, b.x4);
    StoreBlock(out, b);
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

// The AVX2 width, compiled for AVX2 as a whole: flatten takes every helper above into it.
ZC_AVX2_TARGET [[gnu::flatten]] void CryptSixteenBlocks(const std::uint16_t* k, const std::uint8_t* in,
                                                         std::uint8_t* out) noexcept
{
    CryptBlocks<Lanes16>(k, in, out);
}

bool HasAvx2() noexcept
{
    return __builtin_cpu_supports("avx2");
}

Word Negate(Word x) noexcept
{
    return static_cast<Word>(-x);
}
}  // namespace

std::uint16_t IdeaInverse(std::uint16_t x) noexcept
{
    if (x <= 1) return x;
    // Extended Euclid on 65537 and x, tracking only the coefficients of x. They are needed
    // modulo 2^16 alone, so any wrap in between does not change the result.
    std::uint32_t a = x;
    std::uint32_t t1 = 0x10001 / a, b = 0x10001 % a;
    if (b == 1) return static_cast<std::uint16_t>(1 - t1);
    std::uint32_t t0 = 1;
    for (;;) {
        t0 += a / b * t1;
        a %= b;
        if (a == 1) return static_cast<std::uint16_t>(t0);
        t1 += b / a * t0;
        b %= a;
        if (b == 1) return static_cast<std::uint16_t>(1 - t1);
    }
}

TZC_idea::TZC_idea(Transforms ceiling)
    : BlockCipherModes(12, "IDEA", 128), transforms_(std::min(ceiling, HasAvx2() ? Transforms::Avx2 : Transforms::Sse2))
{
}

void TZC_idea::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    CryptBlock(schedule().encrypt, in, out);
}

void TZC_idea::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    CryptBlock(schedule().decrypt, in, out);
}

void TZC_idea::DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                const std::uint8_t* mask) const noexcept
{
    const std::uint16_t* k = schedule().decrypt;
    if (transforms_ == Transforms::Avx2) {
        const std::size_t wide = blocks - blocks % 16;
        InLanes<16>(in, out, wide, mask, [k](const std::uint8_t* i, std::uint8_t* o, auto) {
            CryptSixteenBlocks(k, i, o);
        });
        in += 8 * wide;
        out += 8 * wide;
        mask += 8 * wide;
        blocks -= wide;
    }
    InLanes<8>(in, out, blocks, mask, [k](const std::uint8_t* i, std::uint8_t* o, auto lanes) {
        if constexpr (lanes == 1)
            CryptBlock(k, i, o);
        else
            CryptBlocks<Lanes8>(k, i, o);
    });
}

// The chain stays in words from block to block: only the plaintext is loaded and only the
// ciphertext stored, off the path that one block's latency sets.
void TZC_idea::EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                std::uint8_t* cv) const noexcept
{
    const std::uint16_t* k = schedule().encrypt;
    Block c = LoadBlock(cv);
    for (std::size_t i = 0; i < blocks; ++i, in += 8, out += 8) {
        const Block p = LoadBlock(in);
        c = {Xor(c.x1, p.x1), Xor(c.x2, p.x2), Xor(c.x3, p.x3), Xor(c.x4, p.x4)};
        Transform(k, c.x1, c.x2, c.x3, c.x4);
        StoreBlock(out, c);
    }
    StoreBlock(cv, c);
}

void TZC_idea::ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept
{
    IdeaSchedule& ks = schedule();
    std::uint16_t* z = ks.encrypt;

    std::uint8_t padded[16] = {};
    std::memcpy(padded, key, keyBytes);
    for (int i = 0; i < 8; ++i) z[i] = static_cast<std::uint16_t>(padded[2 * i] << 8 | padded[2 * i + 1]);
    SecureFill(padded, sizeof padded, 0);

    // Each group of eight is the previous group's 128 bits rotated left by 25.
    for (int i = 8; i < 52; ++i) {
        const std::uint16_t* previous = z + (i / 8 - 1) * 8;
        const int j = i % 8;
        z[i] = static_cast<std::uint16_t>(previous[(j + 1) % 8] << 9 | previous[(j + 2) % 8] >> 7);
    }

    // Decryption runs the rounds backwards with inverted subkeys. In the middle rounds the
    // additive pair swaps places, as the round itself exchanges the middle words; at both ends
    // the output transformation's own exchange cancels that.
    std::uint16_t* d = ks.decrypt;
    for (int n = 0; n <= 8; ++n) {
        const std::uint16_t* e = z + 6 * (8 - n);
        const bool swapped = n != 0 && n != 8;
        d[6 * n] = IdeaInverse(e[0]);
        d[6 * n + 1] = Negate(e[swapped ? 2 : 1]);
        d[6 * n + 2] = Negate(e[swapped ? 1 : 2]);
        d[6 * n + 3] = IdeaInverse(e[3]);
        if (n < 8) {
            d[6 * n + 4] = z[6 * (7 - n) + 4];
            d[6 * n + 5] = z[6 * (7 - n) + 5];
        }
    }
}
