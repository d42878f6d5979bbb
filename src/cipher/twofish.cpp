#include "cipher/twofish.h"

#include <cstring>

namespace {
#include "cipher/twofish_tables.inc"

// The permutation chain of each byte of h: the q applied before the xor with key word
// L3, L2, L1, L0, then the last q, which the MDS tables already contain.
constexpr const std::uint8_t* kChain[4][5] = {
    {kQ1, kQ1, kQ0, kQ0, kQ1},
    {kQ0, kQ1, kQ1, kQ0, kQ0},
    {kQ0, kQ0, kQ0, kQ1, kQ1},
    {kQ1, kQ0, kQ1, kQ1, kQ0},
};
constexpr int kLastQ = 4;

// The MDS matrix over GF(2^8) modulo x^8 + x^6 + x^5 + x^3 + 1, row by row.
constexpr std::uint8_t kMdsMatrix[4][4] = {
    {0x01, 0xEF, 0x5B, 0x5B},
    {0x5B, 0xEF, 0xEF, 0x01},
    {0xEF, 0x5B, 0x01, 0xEF},
    {0xEF, 0x01, 0xEF, 0x5B},
};

// The matrix holds only 01, 5B and EF: each product is y plus one or two feedback shifts of y.
std::uint32_t MdsTimes(std::uint8_t coefficient, std::uint32_t y)
{
    const std::uint32_t f1 = (y >> 1) ^ ((y & 1) ? 0xB4 : 0);
    const std::uint32_t f2 = (y >> 2) ^ ((y & 2) ? 0xB4 : 0) ^ ((y & 1) ? 0x5A : 0);
    if (coefficient == 0x01) return y;
    if (coefficient == 0x5B) return y ^ f2;
    return y ^ f1 ^ f2;  // 0xEF
}

// M[j][x]: column j of the MDS matrix times the last q of byte j's chain applied to x,
// row 0 in the low byte; so the last permutation and the matrix cost one look-up.
struct MdsTables {
    std::uint32_t M[4][256];
};

MdsTables ComputeMdsTables()
{
    MdsTables tables;
    for (int j = 0; j < 4; ++j) {
        for (int x = 0; x < 256; ++x) {
            const std::uint32_t y = kChain[j][kLastQ][x];
            std::uint32_t column = 0;
            for (int row = 0; row < 4; ++row) column |= MdsTimes(kMdsMatrix[row][j], y) << (8 * row);
            tables.M[j][x] = column;
        }
    }
    return tables;
}

// Built once at start-up, before any cipher exists; read-only afterwards.
const MdsTables kMds = ComputeMdsTables();

inline std::uint8_t ByteOf(std::uint32_t word, int j) noexcept
{
    return static_cast<std::uint8_t>(word >> (8 * j));
}

// Byte j of h(X, L0..L(k-1)) before the four bytes are xored together.
std::uint32_t HByte(int j, std::uint8_t x, const std::uint32_t* l, int k) noexcept
{
    std::uint8_t y = x;
    for (int stage = 4 - k; stage < 4; ++stage) y = kChain[j][stage][y] ^ ByteOf(l[3 - stage], j);
    return kMds.M[j][y];
}

std::uint32_t H(std::uint32_t x, const std::uint32_t* l, int k) noexcept
{
    return HByte(0, ByteOf(x, 0), l, k) ^ HByte(1, ByteOf(x, 1), l, k) ^ HByte(2, ByteOf(x, 2), l, k) ^
           HByte(3, ByteOf(x, 3), l, k);
}

// One step of the Reed-Solomon product over GF(2^8) modulo x^8 + x^6 + x^3 + x^2 + 1.
std::uint32_t RsStep(std::uint32_t r) noexcept
{
    const std::uint32_t b = r >> 24;
    const std::uint32_t g2 = ((b << 1) ^ ((b & 0x80) ? 0x4D : 0)) & 0xFF;
    const std::uint32_t g3 = (b >> 1) ^ ((b & 1) ? 0xA6 : 0) ^ g2;
    return (r << 8) ^ (g3 << 24) ^ (g2 << 16) ^ (g3 << 8) ^ b;
}

std::uint32_t ReedSolomon(std::uint32_t even, std::uint32_t odd) noexcept
{
    std::uint32_t r = odd;
    for (int i = 0; i < 4; ++i) r = RsStep(r);
    r ^= even;
    for (int i = 0; i < 4; ++i) r = RsStep(r);
    return r;
}

// Byte j of a word as a 64-bit index, which spares the compiler a zero extension.
inline std::uint64_t IndexOf(std::uint32_t word, int j) noexcept
{
    return (std::uint64_t{word} >> (8 * j)) & 0xFF;
}

// The four look-ups xored in pairs, so that the last to arrive waits for one XOR only.
inline std::uint32_t G(const TwofishSchedule& ks, std::uint32_t x) noexcept
{
    return (ks.KT[0][IndexOf(x, 0)] ^ ks.KT[1][IndexOf(x, 1)]) ^ (ks.KT[2][IndexOf(x, 2)] ^ ks.KT[3][IndexOf(x, 3)]);
}

// g(x <<< 8), the rotation folded into the choice of bytes.
inline std::uint32_t GRotated(const TwofishSchedule& ks, std::uint32_t x) noexcept
{
    return (ks.KT[0][IndexOf(x, 3)] ^ ks.KT[1][IndexOf(x, 0)]) ^ (ks.KT[2][IndexOf(x, 1)] ^ ks.KT[3][IndexOf(x, 2)]);
}

// One round on N independent blocks: a and b feed F, which changes c and d; k points at the
// round's two subkeys. Decryption undoes the rotations of encryption in reverse order.
template <std::size_t N, bool kDecrypt>
inline void Round(const TwofishSchedule& ks, const std::uint32_t (&a)[N], const std::uint32_t (&b)[N],
                  std::uint32_t (&c)[N], std::uint32_t (&d)[N], const std::uint32_t* k) noexcept
{
    for (std::size_t i = 0; i < N; ++i) {
        const std::uint32_t t0 = G(ks, a[i]);
        const std::uint32_t t1 = GRotated(ks, b[i]);
        const std::uint32_t f0 = t0 + t1 + k[0];
        const std::uint32_t f1 = t0 + 2 * t1 + k[1];
        if constexpr (kDecrypt) {
            c[i] = RotateLeft32(c[i], 1) ^ f0;
            d[i] = RotateRight32(d[i] ^ f1, 1);
        } else {
            c[i] = RotateRight32(c[i] ^ f0, 1);
            d[i] = RotateLeft32(d[i], 1) ^ f1;
        }
    }
}

// N blocks in lockstep, so their table look-ups overlap; the words come back as the output
// words. Rounds run in pairs, the second of a pair with the halves' roles exchanged instead of
// swapping words.
template <std::size_t N, bool kDecrypt>
inline void CryptWords(const TwofishSchedule& ks, std::uint32_t (&w)[4][N]) noexcept
{
    constexpr int kInWhitening = kDecrypt ? 4 : 0;
    constexpr int kOutWhitening = kDecrypt ? 0 : 4;
    std::uint32_t r0[N], r1[N], r2[N], r3[N];
    for (std::size_t b = 0; b < N; ++b) {
        r0[b] = w[0][b] ^ ks.K[kInWhitening];
        r1[b] = w[1][b] ^ ks.K[kInWhitening + 1];
        r2[b] = w[2][b] ^ ks.K[kInWhitening + 2];
        r3[b] = w[3][b] ^ ks.K[kInWhitening + 3];
    }
#pragma GCC unroll 8
    for (int pair = 0; pair < 8; ++pair) {
        if constexpr (kDecrypt) {
            Round<N, true>(ks, r0, r1, r2, r3, ks.K + 38 - 4 * pair);
            Round<N, true>(ks, r2, r3, r0, r1, ks.K + 36 - 4 * pair);
        } else {
            Round<N, false>(ks, r0, r1, r2, r3, ks.K + 8 + 4 * pair);
            Round<N, false>(ks, r2, r3, r0, r1, ks.K + 10 + 4 * pair);
        }
    }
    for (std::size_t b = 0; b < N; ++b) {
        w[0][b] = r2[b] ^ ks.K[kOutWhitening];
        w[1][b] = r3[b] ^ ks.K[kOutWhitening + 1];
        w[2][b] = r0[b] ^ ks.K[kOutWhitening + 2];
        w[3][b] = r1[b] ^ ks.K[kOutWhitening + 3];
    }
}

template <std::size_t N>
inline void LoadBlocks(const std::uint8_t* in, std::uint32_t (&w)[4][N]) noexcept
{
    for (std::size_t b = 0; b < N; ++b)
        for (std::size_t i = 0; i < 4; ++i) w[i][b] = LoadLE32(in + 16 * b + 4 * i);
}

template <std::size_t N>
inline void StoreBlocks(const std::uint32_t (&w)[4][N], std::uint8_t* out) noexcept
{
    for (std::size_t b = 0; b < N; ++b)
        for (std::size_t i = 0; i < 4; ++i) StoreLE32(out + 16 * b + 4 * i, w[i][b]);
}

template <std::size_t N, bool kDecrypt>
inline void CryptBytes(const TwofishSchedule& ks, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    std::uint32_t w[4][N];
    LoadBlocks(in, w);
    CryptWords<N, kDecrypt>(ks, w);
    StoreBlocks(w, out);
}
}  // namespace

TZC_twofish::TZC_twofish() : BlockCipherModes(6, "Twofish", 256) {}

void TZC_twofish::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    CryptBytes<1, false>(schedule(), in, out);
}

void TZC_twofish::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    CryptBytes<1, true>(schedule(), in, out);
}

void TZC_twofish::DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                   const std::uint8_t* mask) const noexcept
{
    InLanes<kParallelBlocks>(in, out, blocks, mask, [this](const std::uint8_t* i, std::uint8_t* o, auto lanes) {
        CryptBytes<lanes, true>(schedule(), i, o);
    });
}

// The chaining value stays in registers from block to block: CBC encryption is one long chain.
void TZC_twofish::EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                   std::uint8_t* cv) const noexcept
{
    std::uint32_t chain[4][1];
    LoadBlocks(cv, chain);
    for (std::size_t b = 0; b < blocks; ++b, in += 16, out += 16) {
        for (std::size_t i = 0; i < 4; ++i) chain[i][0] ^= LoadLE32(in + 4 * i);
        CryptWords<1, false>(schedule(), chain);
        StoreBlocks(chain, out);
    }
    StoreBlocks(chain, cv);
}

void TZC_twofish::ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept
{
    TwofishSchedule& ks = schedule();
    // A short key is the key of the next standard length with zero bytes appended.
    std::uint8_t padded[32] = {};
    std::memcpy(padded, key, keyBytes);
    roundedKeyBits_ = keyBytes <= 16 ? 128 : keyBytes <= 24 ? 192 : 256;
    const int k = roundedKeyBits_ / 64;

    std::uint32_t even[4], odd[4];
    for (int i = 0; i < k; ++i) {
        even[i] = LoadLE32(padded + 8 * i);
        odd[i] = LoadLE32(padded + 8 * i + 4);
        // S0, the key word applied last in h, comes from the last eight key bytes.
        ks.S[k - 1 - i] = ReedSolomon(even[i], odd[i]);
    }

    constexpr std::uint32_t kRho = 0x01010101;
    for (std::uint32_t i = 0; i < 20; ++i) {
        const std::uint32_t a = H(2 * i * kRho, even, k);
        const std::uint32_t b = RotateLeft32(H((2 * i + 1) * kRho, odd, k), 8);
        ks.K[2 * i] = a + b;
        ks.K[2 * i + 1] = RotateLeft32(a + 2 * b, 9);
    }

    for (int j = 0; j < 4; ++j)
        for (int x = 0; x < 256; ++x) ks.KT[j][x] = HByte(j, static_cast<std::uint8_t>(x), ks.S, k);

    SecureFill(padded, sizeof padded, 0xFF);
    SecureFill(even, sizeof even, 0xFF);
    SecureFill(odd, sizeof odd, 0xFF);
}
