#include "cipher/rijndael.h"

#include <cpuid.h>
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>

namespace {
// ---- Constant tables, computed at compile time from the rules of FIPS-197 ----
// GF(2^8) arithmetic modulo x^8 + x^4 + x^3 + x + 1.

constexpr std::uint8_t XTime(std::uint8_t a)
{
    return static_cast<std::uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0));
}

constexpr std::uint8_t Multiply(std::uint8_t a, std::uint8_t b)
{
    std::uint8_t product = 0;
    for (; b != 0; b >>= 1, a = XTime(a))
        if (b & 1) product ^= a;
    return product;
}

// a^254 is the multiplicative inverse of a, and maps 0 to 0 as the S-box rule wants.
constexpr std::uint8_t Inverse(std::uint8_t a)
{
    std::uint8_t result = 1;
    for (int bit = 7; bit >= 0; --bit) {
        result = Multiply(result, result);
        if ((254 >> bit) & 1) result = Multiply(result, a);
    }
    return result;
}

constexpr std::uint8_t RotateLeft8(std::uint8_t x, int n)
{
    return static_cast<std::uint8_t>((x << n) | (x >> (8 - n)));
}

using ByteTable = std::array<std::uint8_t, 256>;
using WordTable = std::array<std::uint32_t, 256>;

// The inverse followed by the affine map of FIPS-197 section 5.1.1.
constexpr ByteTable MakeSBox()
{
    ByteTable s{};
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t b = Inverse(static_cast<std::uint8_t>(x));
        s[x] = static_cast<std::uint8_t>(b ^ RotateLeft8(b, 1) ^ RotateLeft8(b, 2) ^ RotateLeft8(b, 3) ^
                                         RotateLeft8(b, 4) ^ 0x63);
    }
    return s;
}

constexpr ByteTable MakeInverse(const ByteTable& s)
{
    ByteTable inverse{};
    for (int x = 0; x < 256; ++x) inverse[s[x]] = static_cast<std::uint8_t>(x);
    return inverse;
}

constexpr ByteTable kSBox = MakeSBox();
constexpr ByteTable kInverseSBox = MakeInverse(kSBox);

// Entry x: the column (c0·f(x), c1·f(x), c2·f(x), c3·f(x)), row 0 in the low byte,
// rotated left by `rotation` bits.
template <class F>
constexpr WordTable MakeColumnTable(F f, const std::array<std::uint8_t, 4>& c, int rotation)
{
    WordTable t{};
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t v = f(static_cast<std::uint8_t>(x));
        std::uint32_t word = 0;
        for (int row = 0; row < 4; ++row) word |= std::uint32_t{Multiply(c[row], v)} << (8 * row);
        t[x] = RotateLeft32(word, static_cast<unsigned>(rotation));
    }
    return t;
}

constexpr std::array<std::uint8_t, 4> kMixColumn = {0x02, 0x01, 0x01, 0x03};
constexpr std::array<std::uint8_t, 4> kInverseMixColumn = {0x0E, 0x09, 0x0D, 0x0B};

constexpr auto kSub = [](std::uint8_t x) { return kSBox[x]; };
constexpr auto kInverseSub = [](std::uint8_t x) { return kInverseSBox[x]; };
constexpr auto kIdentity = [](std::uint8_t x) { return x; };

// T: SubBytes and MixColumns; IT: InvSubBytes and InvMixColumns; U: InvMixColumns alone.
constexpr WordTable kT[4] = {MakeColumnTable(kSub, kMixColumn, 0), MakeColumnTable(kSub, kMixColumn, 8),
                             MakeColumnTable(kSub, kMixColumn, 16), MakeColumnTable(kSub, kMixColumn, 24)};
constexpr WordTable kIT[4] = {
    MakeColumnTable(kInverseSub, kInverseMixColumn, 0), MakeColumnTable(kInverseSub, kInverseMixColumn, 8),
    MakeColumnTable(kInverseSub, kInverseMixColumn, 16), MakeColumnTable(kInverseSub, kInverseMixColumn, 24)};
constexpr WordTable kU[4] = {
    MakeColumnTable(kIdentity, kInverseMixColumn, 0), MakeColumnTable(kIdentity, kInverseMixColumn, 8),
    MakeColumnTable(kIdentity, kInverseMixColumn, 16), MakeColumnTable(kIdentity, kInverseMixColumn, 24)};

inline std::uint8_t Byte(std::uint32_t word, int row) noexcept
{
    return static_cast<std::uint8_t>(word >> (8 * row));
}

inline std::uint32_t SubWord(std::uint32_t word) noexcept
{
    return std::uint32_t{kSBox[Byte(word, 0)]} | std::uint32_t{kSBox[Byte(word, 1)]} << 8 |
           std::uint32_t{kSBox[Byte(word, 2)]} << 16 | std::uint32_t{kSBox[Byte(word, 3)]} << 24;
}

inline std::uint32_t InvMixColumn(std::uint32_t word) noexcept
{
    return kU[0][Byte(word, 0)] ^ kU[1][Byte(word, 1)] ^ kU[2][Byte(word, 2)] ^ kU[3][Byte(word, 3)];
}

// ---- Table transforms ----
// N blocks run in lockstep so their look-ups overlap. Encryption reads column c+k for row k
// (ShiftRows), decryption column c-k (InvShiftRows).

template <std::size_t N, bool kDecrypt>
inline void TableCrypt(const std::uint32_t (*keys)[8], int rounds, const std::uint8_t* in,
                       std::uint8_t* out) noexcept
{
    const WordTable* round = kDecrypt ? kIT : kT;
    const ByteTable& last = kDecrypt ? kInverseSBox : kSBox;
    constexpr int kShift = kDecrypt ? 3 : 1;  // column step per row, modulo 4
    auto column = [](int c, int row) { return (c + kShift * row) & 3; };
    auto key = [&](int r) { return keys[kDecrypt ? rounds - r : r]; };

    std::uint32_t s[N][4], t[N][4];
    for (std::size_t b = 0; b < N; ++b)
        for (int c = 0; c < 4; ++c) s[b][c] = LoadLE32(in + 16 * b + 4 * c);

    for (int r = 0; r < rounds - 1; ++r) {
        for (std::size_t b = 0; b < N; ++b)
            for (int c = 0; c < 4; ++c) t[b][c] = s[b][c] ^ key(r)[c];
        for (std::size_t b = 0; b < N; ++b)
            for (int c = 0; c < 4; ++c)
                s[b][c] = round[0][Byte(t[b][c], 0)] ^ round[1][Byte(t[b][column(c, 1)], 1)] ^
                          round[2][Byte(t[b][column(c, 2)], 2)] ^ round[3][Byte(t[b][column(c, 3)], 3)];
    }
    for (std::size_t b = 0; b < N; ++b) {
        for (int c = 0; c < 4; ++c) t[b][c] = s[b][c] ^ key(rounds - 1)[c];
        for (int c = 0; c < 4; ++c) {
            const std::uint32_t word = std::uint32_t{last[Byte(t[b][c], 0)]} |
                                       std::uint32_t{last[Byte(t[b][column(c, 1)], 1)]} << 8 |
                                       std::uint32_t{last[Byte(t[b][column(c, 2)], 2)]} << 16 |
                                       std::uint32_t{last[Byte(t[b][column(c, 3)], 3)]} << 24;
            StoreLE32(out + 16 * b + 4 * c, word ^ key(rounds)[c]);
        }
    }
}

// ---- AES instructions ----
// Row r of either schedule, columns 0..3, is exactly the 16-byte round key the instructions take.
// Encryption runs rows 0 up to the round count, decryption (the equivalent inverse cipher) the
// other way.

#define ZC_AES_TARGET __attribute__((target("aes,sse4.1")))
#define ZC_VECTOR_AES_TARGET __attribute__((target("aes,sse4.1,avx2,vaes")))

ZC_AES_TARGET inline __m128i RoundKey(const std::uint32_t (*keys)[8], int r) noexcept
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(keys[r]));
}

ZC_AES_TARGET inline __m128i Load(const std::uint8_t* p) noexcept
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

ZC_AES_TARGET inline void Store(std::uint8_t* p, __m128i v) noexcept
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

ZC_AES_TARGET void AesEncryptBlock(const std::uint32_t (*keys)[8], int rounds, const std::uint8_t* in,
                                   std::uint8_t* out) noexcept
{
    __m128i x = _mm_xor_si128(Load(in), RoundKey(keys, 0));
    for (int r = 1; r < rounds; ++r) x = _mm_aesenc_si128(x, RoundKey(keys, r));
    Store(out, _mm_aesenclast_si128(x, RoundKey(keys, rounds)));
}

ZC_AES_TARGET void AesDecryptBlock(const std::uint32_t (*keys)[8], int rounds, const std::uint8_t* in,
                                   std::uint8_t* out) noexcept
{
    __m128i x = _mm_xor_si128(Load(in), RoundKey(keys, rounds));
    for (int r = rounds - 1; r > 0; --r) x = _mm_aesdec_si128(x, RoundKey(keys, r));
    Store(out, _mm_aesdeclast_si128(x, RoundKey(keys, 0)));
}

// CBC encryption is one long dependency chain. The next plaintext and the first round key are
// folded into the last round key (aesenclast ends with that xor), so the chain holds nothing but
// the AES rounds; the ciphertext is recovered beside it.
ZC_AES_TARGET void AesEncryptCBC(const std::uint32_t (*keys)[8], int rounds, const std::uint8_t* in,
                                 std::uint8_t* out, std::size_t blocks, std::uint8_t* cv) noexcept
{
    if (blocks == 0) return;
    const __m128i first = RoundKey(keys, 0), last = RoundKey(keys, rounds);
    __m128i chain = Load(cv);
    __m128i x = _mm_xor_si128(_mm_xor_si128(Load(in), chain), first);
    for (std::size_t i = 0; i < blocks; ++i) {
        for (int r = 1; r < rounds; ++r) x = _mm_aesenc_si128(x, RoundKey(keys, r));
        if (i + 1 < blocks) {
            const __m128i whitenedNext = _mm_xor_si128(Load(in + 16 * (i + 1)), first);
            x = _mm_aesenclast_si128(x, _mm_xor_si128(last, whitenedNext));
            chain = _mm_xor_si128(x, whitenedNext);
        } else {
            chain = _mm_aesenclast_si128(x, last);
        }
        Store(out + 16 * i, chain);
    }
    Store(cv, chain);
}

// out[i] = D(in[i]) ^ mask[i] over the first blocks - blocks % N blocks, N in flight to cover
// the latency of a round; the xor is folded into the last round key (aesdeclast ends with
// that xor). Returns the blocks done.
template <int kRounds, std::size_t N>
ZC_AES_TARGET std::size_t AesDecryptXor(const std::uint32_t (*keys)[8], const std::uint8_t* in, std::uint8_t* out,
                                        std::size_t blocks, const std::uint8_t* mask) noexcept
{
    const std::size_t done = blocks - blocks % N;
    for (std::size_t i = 0; i < done; i += N, in += 16 * N, out += 16 * N, mask += 16 * N) {
        __m128i x[N];
        const __m128i whitening = RoundKey(keys, kRounds);
        for (std::size_t b = 0; b < N; ++b) x[b] = _mm_xor_si128(Load(in + 16 * b), whitening);
#pragma GCC unroll 14
        for (int r = kRounds - 1; r > 0; --r) {
            const __m128i key = RoundKey(keys, r);
            for (std::size_t b = 0; b < N; ++b) x[b] = _mm_aesdec_si128(x[b], key);
        }
        const __m128i last = RoundKey(keys, 0);
        for (std::size_t b = 0; b < N; ++b)
            Store(out + 16 * b, _mm_aesdeclast_si128(x[b], _mm_xor_si128(last, Load(mask + 16 * b))));
    }
    return done;
}

ZC_VECTOR_AES_TARGET inline __m256i RoundKeyTwice(const std::uint32_t (*keys)[8], int r) noexcept
{
    return _mm256_broadcastsi128_si256(RoundKey(keys, r));
}

ZC_VECTOR_AES_TARGET inline __m256i LoadTwo(const std::uint8_t* p) noexcept
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// AesDecryptXor on N 256-bit lanes of two blocks each, 2N blocks at a time.
template <int kRounds, std::size_t N>
ZC_VECTOR_AES_TARGET std::size_t VectorAesDecryptXor(const std::uint32_t (*keys)[8], const std::uint8_t* in,
                                                     std::uint8_t* out, std::size_t blocks,
                                                     const std::uint8_t* mask) noexcept
{
    const std::size_t done = blocks - blocks % (2 * N);
    for (std::size_t i = 0; i < done; i += 2 * N, in += 32 * N, out += 32 * N, mask += 32 * N) {
        __m256i x[N];
        const __m256i whitening = RoundKeyTwice(keys, kRounds);
        for (std::size_t b = 0; b < N; ++b) x[b] = _mm256_xor_si256(LoadTwo(in + 32 * b), whitening);
#pragma GCC unroll 14
        for (int r = kRounds - 1; r > 0; --r) {
            const __m256i key = RoundKeyTwice(keys, r);
            for (std::size_t b = 0; b < N; ++b) x[b] = _mm256_aesdec_epi128(x[b], key);
        }
        const __m256i last = RoundKeyTwice(keys, 0);
        for (std::size_t b = 0; b < N; ++b)
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * b),
                                _mm256_aesdeclast_epi128(x[b], _mm256_xor_si256(last, LoadTwo(mask + 32 * b))));
    }
    return done;
}

// Calls f with the round count as a compile-time constant, so that the rounds unroll.
template <class F>
void WithRounds(int rounds, F f) noexcept
{
    switch (rounds) {
    case 10: f(std::integral_constant<int, 10>{}); break;
    case 12: f(std::integral_constant<int, 12>{}); break;
    default: f(std::integral_constant<int, 14>{}); break;
    }
}

// Asked of the processor directly: clang 14 does not know "vaes" in __builtin_cpu_supports.
bool HasVectorAes() noexcept
{
    unsigned eax, ebx, ecx, edx;
    return __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) && (ecx & bit_VAES) != 0;
}

TZC_rijndael::Transforms Available() noexcept
{
    using enum TZC_rijndael::Transforms;
    if (!__builtin_cpu_supports("aes") || !__builtin_cpu_supports("sse4.1")) return Tables;
    if (!HasVectorAes() || !__builtin_cpu_supports("avx2")) return Aes;
    return VectorAes;
}

// Blocks in flight in decryption: enough to cover the latency of a round, few enough to
// stay in registers (AES: 8 of the 16 vector registers; vector AES: 8 registers of 2 blocks).
constexpr std::size_t kTableLanes = 4, kAesLanes = 8, kVectorAesLanes = 8;
}  // namespace

TZC_rijndael::TZC_rijndael(Transforms ceiling)
    : BlockCipherModes(9, "Rijndael", 256), transforms_(std::min(ceiling, Available()))
{
}

void TZC_rijndael::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    if (transforms_ == Transforms::Tables)
        TableCrypt<1, false>(schedule().encrypt, rounds_, in, out);
    else
        AesEncryptBlock(schedule().encrypt, rounds_, in, out);
}

void TZC_rijndael::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    if (transforms_ == Transforms::Tables)
        TableCrypt<1, true>(schedule().decrypt, rounds_, in, out);
    else
        AesDecryptBlock(schedule().decrypt, rounds_, in, out);
}

void TZC_rijndael::EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                    std::uint8_t* cv) const noexcept
{
    if (transforms_ == Transforms::Tables)
        EncryptBlocksCBCOneByOne(in, out, blocks, cv);
    else
        AesEncryptCBC(schedule().encrypt, rounds_, in, out, blocks, cv);
}

// The widest transform takes what it can, narrower ones the rest, down to single blocks.
void TZC_rijndael::DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                    const std::uint8_t* mask) const noexcept
{
    const auto* keys = schedule().decrypt;
    if (transforms_ == Transforms::Tables) {
        InLanes<kTableLanes>(in, out, blocks, mask, [&](const std::uint8_t* i, std::uint8_t* o, auto lanes) {
            TableCrypt<lanes, true>(keys, rounds_, i, o);
        });
        return;
    }
    WithRounds(rounds_, [&](auto rounds) {
        constexpr int kRounds = decltype(rounds)::value;
        std::size_t done = 0;
        if (transforms_ == Transforms::VectorAes)
            done = VectorAesDecryptXor<kRounds, kVectorAesLanes>(keys, in, out, blocks, mask);
        const auto at = [&](std::size_t offset) { return kBlock * offset; };
        done += AesDecryptXor<kRounds, kAesLanes>(keys, in + at(done), out + at(done), blocks - done, mask + at(done));
        AesDecryptXor<kRounds, 1>(keys, in + at(done), out + at(done), blocks - done, mask + at(done));
    });
}

void TZC_rijndael::ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept
{
    // The key is zero-padded to the next standard length: 16, 24 or 32 bytes.
    std::uint8_t padded[32] = {};
    std::memcpy(padded, key, keyBytes);
    const int nk = keyBytes <= 16 ? 4 : keyBytes <= 24 ? 6 : 8;
    rounds_ = nk + 6;

    // FIPS-197 KeyExpansion: w[i] lands in row i / 4, column i % 4.
    RijndaelSchedule& ks = schedule();
    const int words = 4 * (rounds_ + 1);
    std::uint32_t w[60];
    std::uint8_t roundConstant = 1;
    for (int i = 0; i < words; ++i) {
        if (i < nk) {
            w[i] = LoadLE32(padded + 4 * i);
        } else {
            std::uint32_t temp = w[i - 1];
            if (i % nk == 0) {
                temp = SubWord(RotateRight32(temp, 8)) ^ roundConstant;  // RotWord moves row 1 to row 0
                roundConstant = XTime(roundConstant);
            } else if (nk > 6 && i % nk == 4) {
                temp = SubWord(temp);
            }
            w[i] = w[i - nk] ^ temp;
        }
        ks.encrypt[i / 4][i % 4] = w[i];
    }

    // The equivalent inverse cipher: the inner round keys pass through InvMixColumns.
    std::memcpy(ks.decrypt, ks.encrypt, sizeof ks.decrypt);
    for (int r = 1; r < rounds_; ++r)
        for (int c = 0; c < 4; ++c) ks.decrypt[r][c] = InvMixColumn(ks.encrypt[r][c]);

    SecureFill(w, sizeof w, 0xFF);
    SecureFill(padded, sizeof padded, 0xFF);
}
