#include "cipher/cast128.h"

#include <cstring>
#include <utility>

#include "cipher/cast_sboxes.h"

namespace {
#include "cipher/cast128_tables.inc"

template <std::size_t N>
using Lanes = std::uint32_t[N];

// Round i (0-based) is of type i mod 3 + 1. The halves never swap places: the rounds update
// them alternately, so after the even round counts of CAST-128 L and R are where they started.
// Decryption walks the rounds backwards, so its parity is the other way round.
template <int kRound, bool kDecrypt, std::size_t N>
inline void Round(const Cast128Schedule& ks, Lanes<N>& l, Lanes<N>& r) noexcept
{
    constexpr int kType = kRound % 3 + 1;
    const std::uint32_t m = ks.Km[kRound], k = ks.Kr[kRound];
    if constexpr ((kRound % 2 == 0) != kDecrypt)
        for (std::size_t b = 0; b < N; ++b) l[b] ^= cast::F<kType>(r[b], m, k);
    else
        for (std::size_t b = 0; b < N; ++b) r[b] ^= cast::F<kType>(l[b], m, k);
}

// Rounds kFirst .. kFirst+count-1, ascending for encryption and descending for decryption.
template <int kFirst, bool kDecrypt, std::size_t N, int... kI>
inline void Rounds(const Cast128Schedule& ks, Lanes<N>& l, Lanes<N>& r,
                   std::integer_sequence<int, kI...>) noexcept
{
    constexpr int kLast = kFirst + static_cast<int>(sizeof...(kI)) - 1;
    (Round<kDecrypt ? kLast - kI : kFirst + kI, kDecrypt>(ks, l, r), ...);
}

template <std::size_t N, bool kDecrypt>
inline void Crypt(const Cast128Schedule& ks, int rounds, Lanes<N>& l, Lanes<N>& r) noexcept
{
    constexpr auto kTwelve = std::make_integer_sequence<int, 12>{};
    constexpr auto kFour = std::make_integer_sequence<int, 4>{};
    if constexpr (kDecrypt) {
        if (rounds > 12) Rounds<12, true>(ks, l, r, kFour);
        Rounds<0, true>(ks, l, r, kTwelve);
    } else {
        Rounds<0, false>(ks, l, r, kTwelve);
        if (rounds > 12) Rounds<12, false>(ks, l, r, kFour);
    }
}

template <std::size_t N, bool kDecrypt>
inline void CryptBytes(const Cast128Schedule& ks, int rounds, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    std::uint32_t l[N], r[N];
    for (std::size_t b = 0; b < N; ++b) {
        l[b] = LoadBE32(in + 8 * b);
        r[b] = LoadBE32(in + 8 * b + 4);
    }
    Crypt<N, kDecrypt>(ks, rounds, l, r);
    for (std::size_t b = 0; b < N; ++b) {
        StoreBE32(out + 8 * b, r[b]);
        StoreBE32(out + 8 * b + 4, l[b]);
    }
}

// Byte j of a 16-byte key state held as four big-endian words (RFC 2144's x0..xF, z0..zF).
inline std::uint32_t Byte(const std::uint32_t (&w)[4], int j) noexcept
{
    return (w[j >> 2] >> (24 - 8 * (j & 3))) & 0xFF;
}

void XToZ(const std::uint32_t (&x)[4], std::uint32_t (&z)[4]) noexcept
{
    auto X = [&](int j) { return Byte(x, j); };
    auto Z = [&](int j) { return Byte(z, j); };
    z[0] = x[0] ^ kCastS5[X(0xD)] ^ kCastS6[X(0xF)] ^ kCastS7[X(0xC)] ^ kCastS8[X(0xE)] ^ kCastS7[X(0x8)];
    z[1] = x[2] ^ kCastS5[Z(0x0)] ^ kCastS6[Z(0x2)] ^ kCastS7[Z(0x1)] ^ kCastS8[Z(0x3)] ^ kCastS8[X(0xA)];
    z[2] = x[3] ^ kCastS5[Z(0x7)] ^ kCastS6[Z(0x6)] ^ kCastS7[Z(0x5)] ^ kCastS8[Z(0x4)] ^ kCastS5[X(0x9)];
    z[3] = x[1] ^ kCastS5[Z(0xA)] ^ kCastS6[Z(0x9)] ^ kCastS7[Z(0xB)] ^ kCastS8[Z(0x8)] ^ kCastS6[X(0xB)];
}

void ZToX(const std::uint32_t (&z)[4], std::uint32_t (&x)[4]) noexcept
{
    auto X = [&](int j) { return Byte(x, j); };
    auto Z = [&](int j) { return Byte(z, j); };
    x[0] = z[2] ^ kCastS5[Z(0x5)] ^ kCastS6[Z(0x7)] ^ kCastS7[Z(0x4)] ^ kCastS8[Z(0x6)] ^ kCastS7[Z(0x0)];
    x[1] = z[0] ^ kCastS5[X(0x0)] ^ kCastS6[X(0x2)] ^ kCastS7[X(0x1)] ^ kCastS8[X(0x3)] ^ kCastS8[Z(0x2)];
    x[2] = z[1] ^ kCastS5[X(0x7)] ^ kCastS6[X(0x6)] ^ kCastS7[X(0x5)] ^ kCastS8[X(0x4)] ^ kCastS5[Z(0x1)];
    x[3] = z[3] ^ kCastS5[X(0xA)] ^ kCastS6[X(0x9)] ^ kCastS7[X(0xB)] ^ kCastS8[X(0x8)] ^ kCastS6[Z(0x3)];
}

// Subkey k of a group of four is S5[a] ^ S6[b] ^ S7[c] ^ S8[d] ^ S(5+k)[e], the bytes taken from
// z in groups 0 and 2 and from x in groups 1 and 3; the groups repeat for K17..K32.
constexpr int kSubkeyBytes[4][4][5] = {
    {{0x8, 0x9, 0x7, 0x6, 0x2}, {0xA, 0xB, 0x5, 0x4, 0x6}, {0xC, 0xD, 0x3, 0x2, 0x9}, {0xE, 0xF, 0x1, 0x0, 0xC}},
    {{0x3, 0x2, 0xC, 0xD, 0x8}, {0x1, 0x0, 0xE, 0xF, 0xD}, {0x7, 0x6, 0x8, 0x9, 0x3}, {0x5, 0x4, 0xA, 0xB, 0x7}},
    {{0x3, 0x2, 0xC, 0xD, 0x9}, {0x1, 0x0, 0xE, 0xF, 0xC}, {0x7, 0x6, 0x8, 0x9, 0x2}, {0x5, 0x4, 0xA, 0xB, 0x6}},
    {{0x8, 0x9, 0x7, 0x6, 0x3}, {0xA, 0xB, 0x5, 0x4, 0x7}, {0xC, 0xD, 0x3, 0x2, 0x8}, {0xE, 0xF, 0x1, 0x0, 0xD}},
};
constexpr const std::uint32_t* kKeyBoxes[4] = {kCastS5, kCastS6, kCastS7, kCastS8};
}  // namespace

TZC_cast128::TZC_cast128() : BlockCipherModes(7, "Cast128", 128) {}

void TZC_cast128::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    CryptBytes<1, false>(schedule(), rounds_, in, out);
}

void TZC_cast128::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    CryptBytes<1, true>(schedule(), rounds_, in, out);
}

// The lanes interleave to hide the latency of the table look-ups; vectorising them would only
// add moves between vector and scalar registers around those look-ups.
[[gnu::optimize("no-tree-vectorize")]]
void TZC_cast128::DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                   const std::uint8_t* mask) const noexcept
{
    InLanes<kParallelBlocks>(in, out, blocks, mask, [this](const std::uint8_t* i, std::uint8_t* o, auto lanes) {
        CryptBytes<lanes, true>(schedule(), rounds_, i, o);
    });
}

// The chaining block stays in registers from one block to the next; CBC encryption is
// bound by the latency of one block, so every cycle between blocks counts.
void TZC_cast128::EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                   std::uint8_t* cv) const noexcept
{
    std::uint32_t c0 = LoadBE32(cv), c1 = LoadBE32(cv + 4);
    for (std::size_t i = 0; i < blocks; ++i, in += 8, out += 8) {
        std::uint32_t l[1] = {LoadBE32(in) ^ c0}, r[1] = {LoadBE32(in + 4) ^ c1};
        Crypt<1, false>(schedule(), rounds_, l, r);
        c0 = r[0];
        c1 = l[0];
        StoreBE32(out, c0);
        StoreBE32(out + 4, c1);
    }
    StoreBE32(cv, c0);
    StoreBE32(cv + 4, c1);
}

void TZC_cast128::ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept
{
    rounds_ = keyBytes <= 10 ? 12 : 16;

    std::uint8_t padded[16] = {};
    std::memcpy(padded, key, keyBytes);
    std::uint32_t x[4], z[4], k[32];
    for (int i = 0; i < 4; ++i) x[i] = LoadBE32(padded + 4 * i);

    for (int group = 0; group < 8; ++group) {
        const bool fromZ = group % 2 == 0;
        if (fromZ)
            XToZ(x, z);
        else
            ZToX(z, x);
        const std::uint32_t(&w)[4] = fromZ ? z : x;
        for (int i = 0; i < 4; ++i) {
            const int(&b)[5] = kSubkeyBytes[group % 4][i];
            k[4 * group + i] = kCastS5[Byte(w, b[0])] ^ kCastS6[Byte(w, b[1])] ^ kCastS7[Byte(w, b[2])] ^
                               kCastS8[Byte(w, b[3])] ^ kKeyBoxes[i][Byte(w, b[4])];
        }
    }

    Cast128Schedule& ks = schedule();
    for (int i = 0; i < 16; ++i) {
        ks.Km[i] = k[i];
        ks.Kr[i] = k[16 + i] & 31;
    }
    SecureFill(padded, sizeof padded, 0xFF);
    SecureFill(x, sizeof x, 0xFF);
    SecureFill(z, sizeof z, 0xFF);
    SecureFill(k, sizeof k, 0xFF);
}
