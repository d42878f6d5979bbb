#include "cipher/gost.h"

#include <array>
#include <cstring>
#include <utility>

namespace {
// S1 substitutes the least significant 4 bits of a word, S8 the most significant.
constexpr std::uint8_t kSBox[8][16] = {
    {0x4, 0xA, 0x9, 0x2, 0xD, 0x8, 0x0, 0xE, 0x6, 0xB, 0x1, 0xC, 0x7, 0xF, 0x5, 0x3},  // S1
    {0xE, 0xB, 0x4, 0xC, 0x6, 0xD, 0xF, 0xA, 0x2, 0x3, 0x8, 0x1, 0x0, 0x7, 0x5, 0x9},  // S2
    {0x5, 0x8, 0x1, 0xD, 0xA, 0x3, 0x4, 0x2, 0xE, 0xF, 0xC, 0x7, 0x6, 0x0, 0x9, 0xB},  // S3
    {0x7, 0xD, 0xA, 0x1, 0x0, 0x8, 0x9, 0xF, 0xE, 0x4, 0x6, 0xC, 0xB, 0x2, 0x5, 0x3},  // S4
    {0x6, 0xC, 0x7, 0x1, 0x5, 0xF, 0xD, 0x8, 0x4, 0xA, 0x9, 0xE, 0x0, 0x3, 0xB, 0x2},  // S5
    {0x4, 0xB, 0xA, 0x0, 0x7, 0x2, 0x1, 0xD, 0x3, 0x6, 0x8, 0x5, 0x9, 0xC, 0xF, 0xE},  // S6
    {0xD, 0xB, 0x4, 0x1, 0x3, 0xF, 0x5, 0x9, 0x0, 0xA, 0xE, 0x7, 0x6, 0x8, 0x2, 0xC},  // S7
    {0x1, 0xF, 0xD, 0x0, 0x5, 0x7, 0xA, 0x4, 0x9, 0x2, 0x3, 0xE, 0x6, 0xB, 0x8, 0xC},  // S8
};

using RoundTables = std::array<std::array<std::uint32_t, 256>, 4>;

// Substitution and rotation merged per input byte, so that f costs four look-ups:
// table m maps byte m of x (m = 0 least significant) to its two substituted nibbles,
// moved back to their place and rotated left by 11.
constexpr RoundTables MakeRoundTables()
{
    RoundTables t{};
    for (unsigned m = 0; m < 4; ++m)
        for (unsigned v = 0; v < 256; ++v) {
            const std::uint32_t substituted = (kSBox[2 * m + 1][v >> 4] << 4) | kSBox[2 * m][v & 15];
            t[m][v] = RotateLeft32(substituted << (8 * m), 11);
        }
    return t;
}

alignas(64) constexpr RoundTables kRound = MakeRoundTables();

inline std::uint32_t F(std::uint32_t x) noexcept
{
    return kRound[0][x & 0xFF] ^ kRound[1][(x >> 8) & 0xFF] ^ kRound[2][(x >> 16) & 0xFF] ^ kRound[3][x >> 24];
}

// Eight rounds over N independent blocks in lockstep, the key words forwards or backwards.
template <std::size_t N>
inline void Pass(const std::uint32_t (&k)[8], bool backwards, std::uint32_t (&a)[N], std::uint32_t (&b)[N]) noexcept
{
#pragma GCC unroll 8
    for (int i = 0; i < 8; i += 2) {
        const std::uint32_t k0 = backwards ? k[7 - i] : k[i];
        const std::uint32_t k1 = backwards ? k[6 - i] : k[i + 1];
        for (std::size_t j = 0; j < N; ++j) b[j] ^= F(a[j] + k0);
        for (std::size_t j = 0; j < N; ++j) a[j] ^= F(b[j] + k1);
    }
}

// Encryption takes the key words forwards in the first three passes and backwards in the
// last; decryption backwards in the last three.
template <std::size_t N, bool kDecrypt>
inline void Rounds(const GostSchedule& ks, std::uint32_t (&a)[N], std::uint32_t (&b)[N]) noexcept
{
    Pass<N>(ks.K, false, a, b);
    Pass<N>(ks.K, kDecrypt, a, b);
    Pass<N>(ks.K, kDecrypt, a, b);
    Pass<N>(ks.K, true, a, b);
}

// The output is B then A, which undoes the exchange of the last round.
template <std::size_t N, bool kDecrypt>
inline void CryptBytes(const GostSchedule& ks, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    std::uint32_t a[N], b[N];
    for (std::size_t j = 0; j < N; ++j) {
        a[j] = LoadLE32(in + 8 * j);
        b[j] = LoadLE32(in + 8 * j + 4);
    }
    Rounds<N, kDecrypt>(ks, a, b);
    for (std::size_t j = 0; j < N; ++j) {
        StoreLE32(out + 8 * j, b[j]);
        StoreLE32(out + 8 * j + 4, a[j]);
    }
}
}  // namespace

TZC_gost::TZC_gost() : BlockCipherModes(8, "Gost", 256) {}

void TZC_gost::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    CryptBytes<1, false>(schedule(), in, out);
}

void TZC_gost::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    CryptBytes<1, true>(schedule(), in, out);
}

void TZC_gost::DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                const std::uint8_t* mask) const noexcept
{
    InLanes<kParallelBlocks>(in, out, blocks, mask, [this](const std::uint8_t* i, std::uint8_t* o, auto lanes) {
        CryptBytes<lanes, true>(schedule(), i, o);
    });
}

// The chaining block stays in two registers from block to block.
void TZC_gost::EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                std::uint8_t* cv) const noexcept
{
    std::uint32_t a[1] = {LoadLE32(cv)}, b[1] = {LoadLE32(cv + 4)};
    for (std::size_t i = 0; i < blocks; ++i, in += 8, out += 8) {
        a[0] ^= LoadLE32(in);
        b[0] ^= LoadLE32(in + 4);
        Rounds<1, false>(schedule(), a, b);
        StoreLE32(out, b[0]);
        StoreLE32(out + 4, a[0]);
        std::swap(a[0], b[0]);  // the ciphertext, B then A, is the next chaining block
    }
    StoreLE32(cv, a[0]);
    StoreLE32(cv + 4, b[0]);
}

void TZC_gost::ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept
{
    // A shorter key is the full key with zero bytes appended.
    std::uint8_t full[32] = {};
    std::memcpy(full, key, keyBytes);
    for (int i = 0; i < 8; ++i) schedule().K[i] = LoadLE32(full + 4 * i);
    SecureFill(full, sizeof full, 0xFF);
}
