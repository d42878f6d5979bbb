#include "cipher/idea.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {
// The round code below is written once over a word type W: one 16-bit word (one block at a
// time, for encryption, whose CBC chain allows nothing else) or a vector of 16-bit lanes
// holding the same word of several blocks (for decryption, whose blocks are independent).
using Word = std::uint16_t;

inline Word Mul(Word a, Word b) noexcept { return IdeaMultiply(a, b); }
inline Word Add(Word a, Word b) noexcept { return static_cast<Word>(a + b); }
inline Word Xor(Word a, Word b) noexcept { return static_cast<Word>(a ^ b); }

template <class W>
W Subkey(std::uint16_t k) noexcept;

template <>
inline Word Subkey<Word>(std::uint16_t k) noexcept
{
    return k;
}

#ifdef __SSE2__
using Lanes = __m128i;  // word i of 8 blocks

inline Lanes Add(Lanes a, Lanes b) noexcept { return _mm_add_epi16(a, b); }
inline Lanes Xor(Lanes a, Lanes b) noexcept { return _mm_xor_si128(a, b); }

inline Lanes Mul(Lanes a, Lanes b) noexcept
{
    const Lanes lo = _mm_mullo_epi16(a, b);
    const Lanes hi = _mm_mulhi_epu16(a, b);
    // SSE2 compares only signed words: flipping the top bits turns lo < hi into a signed test.
    const Lanes sign = _mm_set1_epi16(-0x8000);
    const Lanes borrow = _mm_cmpgt_epi16(_mm_xor_si128(hi, sign), _mm_xor_si128(lo, sign));
    const Lanes product = _mm_sub_epi16(_mm_sub_epi16(lo, hi), borrow);
    // Where a factor is 0 the product above is 0, and the result is 1 - a - b.
    const Lanes zero = _mm_setzero_si128();
    const Lanes factorZero = _mm_or_si128(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero));
    const Lanes zeroCase = _mm_sub_epi16(_mm_sub_epi16(_mm_set1_epi16(1), a), b);
    return _mm_or_si128(product, _mm_and_si128(factorZero, zeroCase));
}

template <>
inline Lanes Subkey<Lanes>(std::uint16_t k) noexcept
{
    return _mm_set1_epi16(static_cast<short>(k));
}
#endif

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

#ifdef __SSE2__
inline Lanes SwapBytes(Lanes x) noexcept
{
    return _mm_or_si128(_mm_slli_epi16(x, 8), _mm_srli_epi16(x, 8));
}

// Eight blocks: each register loaded holds two blocks; a 16-bit transpose gathers word i of all
// eight into one register, and the inverse transpose scatters them back.
inline void CryptEightBlocks(const std::uint16_t* k, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    Lanes r[4];
    for (int i = 0; i < 4; ++i) r[i] = _mm_loadu_si128(reinterpret_cast<const Lanes*>(in + 16 * i));
    const Lanes a = _mm_unpacklo_epi16(r[0], r[1]), b = _mm_unpackhi_epi16(r[0], r[1]);
    const Lanes c = _mm_unpacklo_epi16(r[2], r[3]), d = _mm_unpackhi_epi16(r[2], r[3]);
    const Lanes words01 = _mm_unpacklo_epi16(a, b), words23 = _mm_unpackhi_epi16(a, b);
    const Lanes words45 = _mm_unpacklo_epi16(c, d), words67 = _mm_unpackhi_epi16(c, d);
    Lanes x1 = SwapBytes(_mm_unpacklo_epi64(words01, words45));
    Lanes x2 = SwapBytes(_mm_unpackhi_epi64(words01, words45));
    Lanes x3 = SwapBytes(_mm_unpacklo_epi64(words23, words67));
    Lanes x4 = SwapBytes(_mm_unpackhi_epi64(words23, words67));

    Transform(k, x1, x2, x3, x4);

    x1 = SwapBytes(x1);
    x2 = SwapBytes(x2);
    x3 = SwapBytes(x3);
    x4 = SwapBytes(x4);
    const Lanes low12 = _mm_unpacklo_epi16(x1, x2), low34 = _mm_unpacklo_epi16(x3, x4);
    const Lanes high12 = _mm_unpackhi_epi16(x1, x2), high34 = _mm_unpackhi_epi16(x3, x4);
    r[0] = _mm_unpacklo_epi32(low12, low34);
    r[1] = _mm_unpackhi_epi32(low12, low34);
    r[2] = _mm_unpacklo_epi32(high12, high34);
    r[3] = _mm_unpackhi_epi32(high12, high34);
    for (int i = 0; i < 4; ++i) _mm_storeu_si128(reinterpret_cast<Lanes*>(out + 16 * i), r[i]);
}
#else
inline void CryptEightBlocks(const std::uint16_t* k, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    for (int i = 0; i < 8; ++i) CryptBlock(k, in + 8 * i, out + 8 * i);
}
#endif

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

TZC_idea::TZC_idea() : BlockCipherModes(12, "IDEA", 128) {}

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
    static_assert(kParallelBlocks == 8);
    InLanes<kParallelBlocks>(in, out, blocks, mask, [this](const std::uint8_t* i, std::uint8_t* o, auto lanes) {
        if constexpr (lanes == 1)
            CryptBlock(schedule().decrypt, i, o);
        else
            CryptEightBlocks(schedule().decrypt, i, o);
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
