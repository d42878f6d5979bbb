#include "cipher/cast256.h"

#include <cstring>

#include "cipher/cast_sboxes.h"

namespace {
template <std::size_t N>
using Lanes = std::uint32_t[N];

// The words A, B, C, D of N blocks processed in lockstep.
template <std::size_t N>
struct State {
    Lanes<N> a, b, c, d;
};

template <int kType, std::size_t N>
inline void Mix(Lanes<N>& target, const Lanes<N>& source, std::uint32_t m, std::uint32_t r) noexcept
{
    for (std::size_t i = 0; i < N; ++i) target[i] ^= cast::F<kType>(source[i], m, r);
}

// Q(i) when kForward, else QBAR(i), which undoes it.
template <bool kForward, std::size_t N>
inline void QuadRound(const Cast256Schedule& ks, int i, State<N>& s) noexcept
{
    const std::uint32_t* m = ks.Km[i];
    const std::uint32_t* r = ks.Kr[i];
    if constexpr (kForward) {
        Mix<1>(s.c, s.d, m[0], r[0]);
        Mix<2>(s.b, s.c, m[1], r[1]);
        Mix<3>(s.a, s.b, m[2], r[2]);
        Mix<1>(s.d, s.a, m[3], r[3]);
    } else {
        Mix<1>(s.d, s.a, m[3], r[3]);
        Mix<3>(s.a, s.b, m[2], r[2]);
        Mix<2>(s.b, s.c, m[1], r[1]);
        Mix<1>(s.c, s.d, m[0], r[0]);
    }
}

// Encryption: Q(0..5), QBAR(6..11). Decryption: Q(11..6), QBAR(5..0).
template <std::size_t N, bool kDecrypt>
inline void Crypt(const Cast256Schedule& ks, State<N>& s) noexcept
{
#pragma GCC unroll 6
    for (int i = 0; i < 6; ++i) QuadRound<true>(ks, kDecrypt ? 11 - i : i, s);
#pragma GCC unroll 6
    for (int i = 0; i < 6; ++i) QuadRound<false>(ks, kDecrypt ? 5 - i : 6 + i, s);
}

template <std::size_t N, bool kDecrypt>
inline void CryptBytes(const Cast256Schedule& ks, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    State<N> s;
    for (std::size_t i = 0; i < N; ++i) {
        s.a[i] = LoadBE32(in + 16 * i);
        s.b[i] = LoadBE32(in + 16 * i + 4);
        s.c[i] = LoadBE32(in + 16 * i + 8);
        s.d[i] = LoadBE32(in + 16 * i + 12);
    }
    Crypt<N, kDecrypt>(ks, s);
    for (std::size_t i = 0; i < N; ++i) {
        StoreBE32(out + 16 * i, s.a[i]);
        StoreBE32(out + 16 * i + 4, s.b[i]);
        StoreBE32(out + 16 * i + 8, s.c[i]);
        StoreBE32(out + 16 * i + 12, s.d[i]);
    }
}

constexpr std::uint32_t IntegerSquareRoot(std::uint64_t n)
{
    std::uint64_t root = 0;
    for (std::uint64_t bit = std::uint64_t{1} << 31; bit != 0; bit >>= 1)
        if ((root + bit) * (root + bit) <= n) root += bit;
    return static_cast<std::uint32_t>(root);
}

// The schedule's masking constants start at 2^30 * sqrt(2) and grow by 2^30 * sqrt(3).
constexpr std::uint32_t kMaskStart = IntegerSquareRoot(std::uint64_t{2} << 60);
constexpr std::uint32_t kMaskStep = IntegerSquareRoot(std::uint64_t{3} << 60);
static_assert(kMaskStart == 0x5A827999 && kMaskStep == 0x6ED9EBA1);
constexpr std::uint32_t kRotationStart = 19, kRotationStep = 17;

// The masking and rotation constants of the key schedule, generated in the order they are used.
struct ScheduleConstants {
    std::uint32_t mask = kMaskStart, rotation = kRotationStart;

    template <int kType>
    void Mix(std::uint32_t& target, std::uint32_t source) noexcept
    {
        target ^= cast::F<kType>(source, mask, rotation);
        mask += kMaskStep;
        rotation = (rotation + kRotationStep) & 31;
    }
};
}  // namespace

TZC_cast256::TZC_cast256() : BlockCipherModes(15, "Cast256", 256) {}

void TZC_cast256::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    CryptBytes<1, false>(schedule(), in, out);
}

void TZC_cast256::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    CryptBytes<1, true>(schedule(), in, out);
}

// The lanes interleave to hide the latency of the table look-ups; vectorising them would only
// add moves between vector and scalar registers around those look-ups.
[[gnu::optimize("no-tree-vectorize")]]
void TZC_cast256::DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                   const std::uint8_t* mask) const noexcept
{
    InLanes<kParallelBlocks>(in, out, blocks, mask, [this](const std::uint8_t* i, std::uint8_t* o, auto lanes) {
        CryptBytes<lanes, true>(schedule(), i, o);
    });
}

// The chaining block stays in registers from one block to the next; CBC encryption is
// bound by the latency of one block, so every cycle between blocks counts.
void TZC_cast256::EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                   std::uint8_t* cv) const noexcept
{
    State<1> s = {{LoadBE32(cv)}, {LoadBE32(cv + 4)}, {LoadBE32(cv + 8)}, {LoadBE32(cv + 12)}};
    for (std::size_t i = 0; i < blocks; ++i, in += 16, out += 16) {
        s.a[0] ^= LoadBE32(in);
        s.b[0] ^= LoadBE32(in + 4);
        s.c[0] ^= LoadBE32(in + 8);
        s.d[0] ^= LoadBE32(in + 12);
        Crypt<1, false>(schedule(), s);
        StoreBE32(out, s.a[0]);
        StoreBE32(out + 4, s.b[0]);
        StoreBE32(out + 8, s.c[0]);
        StoreBE32(out + 12, s.d[0]);
    }
    StoreBE32(cv, s.a[0]);
    StoreBE32(cv + 4, s.b[0]);
    StoreBE32(cv + 8, s.c[0]);
    StoreBE32(cv + 12, s.d[0]);
}

void TZC_cast256::ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept
{
    std::uint8_t padded[32] = {};
    std::memcpy(padded, key, keyBytes);
    std::uint32_t kappa[8];  // the RFC's A .. H
    for (int i = 0; i < 8; ++i) kappa[i] = LoadBE32(padded + 4 * i);

    ScheduleConstants t;
    // Binds its own names: clang before 16 cannot capture structured bindings.
    auto octave = [&t](std::uint32_t (&k)[8]) {
        auto& [A, B, C, D, E, F, G, H] = k;
        t.Mix<1>(G, H);
        t.Mix<2>(F, G);
        t.Mix<3>(E, F);
        t.Mix<1>(D, E);
        t.Mix<2>(C, D);
        t.Mix<3>(B, C);
        t.Mix<1>(A, B);
        t.Mix<2>(H, A);
    };

    Cast256Schedule& ks = schedule();
    for (int i = 0; i < 12; ++i) {
        octave(kappa);
        octave(kappa);
        const auto& [A, B, C, D, E, F, G, H] = kappa;
        const std::uint32_t kr[4] = {A, C, E, G}, km[4] = {H, F, D, B};
        for (int j = 0; j < 4; ++j) {
            ks.Kr[i][j] = kr[j] & 31;
            ks.Km[i][j] = km[j];
        }
    }
    SecureFill(padded, sizeof padded, 0xFF);
    SecureFill(kappa, sizeof kappa, 0xFF);
}
