#include "cipher/idea.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace {
// The word types of the rounds (cipher/idearounds.h) that this file compiles: one 16-bit word,
// and word i of 8 blocks.
using Word = std::uint16_t;

inline Word Mul(Word a, Word b) noexcept { return IdeaMultiply(a, b); }
inline Word Add(Word a, Word b) noexcept { return static_cast<Word>(a + b); }
inline Word Xor(Word a, Word b) noexcept { return static_cast<Word>(a ^ b); }

using Lanes8 = __m128i;

// The vector operations, so that the round code and the transposes are written once for both
// widths; the multiplication in particular.
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
}  // namespace

#include "cipher/idearounds.h"

namespace {
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
            IdeaCryptSixteenBlocks(k, i, o);
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
