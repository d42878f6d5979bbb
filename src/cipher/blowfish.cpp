#include "cipher/blowfish.h"

#include <cstring>

namespace {
#include "cipher/blowfish_tables.inc"

inline std::uint32_t F(const BlowfishSchedule& ks, std::uint32_t x) noexcept
{
    return ((ks.S[0][x >> 24] + ks.S[1][(x >> 16) & 0xFF]) ^ ks.S[2][(x >> 8) & 0xFF]) + ks.S[3][x & 0xFF];
}

// Runs N independent blocks in lockstep, so their table look-ups overlap.
// Encryption takes P0..P17 forwards, decryption backwards.
template <std::size_t N, bool kDecrypt>
inline void Crypt(const BlowfishSchedule& ks, std::uint32_t (&l)[N], std::uint32_t (&r)[N]) noexcept
{
    auto p = [&](int i) { return kDecrypt ? ks.P[17 - i] : ks.P[i]; };
#pragma GCC unroll 16
    for (int i = 0; i < 16; i += 2) {
        for (std::size_t b = 0; b < N; ++b) {
            l[b] ^= p(i);
            r[b] ^= F(ks, l[b]);
        }
        for (std::size_t b = 0; b < N; ++b) {
            r[b] ^= p(i + 1);
            l[b] ^= F(ks, r[b]);
        }
    }
    for (std::size_t b = 0; b < N; ++b) {
        const std::uint32_t t = l[b];
        l[b] = r[b] ^ p(17);
        r[b] = t ^ p(16);
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
}  // namespace

TZC_blowfish::TZC_blowfish() : BlockCipherModes(5, "Blowfish", 448) {}

void TZC_blowfish::EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    CryptBytes<1, false>(schedule(), in, out);
}

void TZC_blowfish::DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept
{
    CryptBytes<1, true>(schedule(), in, out);
}

// Vectorised, the lanes' table look-ups get serialised through SSE shuffles; scalar is faster.
[[gnu::optimize("no-tree-vectorize")]] void TZC_blowfish::DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out,
                                                                          std::size_t blocks,
                                                                          const std::uint8_t* mask) const noexcept
{
    InLanes<kParallelBlocks>(in, out, blocks, mask, [this](const std::uint8_t* i, std::uint8_t* o, auto lanes) {
        CryptBytes<lanes, true>(schedule(), i, o);
    });
}

void TZC_blowfish::EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                    std::uint8_t* cv) const noexcept
{
    // The chaining block stays in registers from block to block.
    std::uint32_t l[1] = {LoadBE32(cv)}, r[1] = {LoadBE32(cv + 4)};
    for (std::size_t i = 0; i < blocks; ++i, in += 8, out += 8) {
        l[0] ^= LoadBE32(in);
        r[0] ^= LoadBE32(in + 4);
        Crypt<1, false>(schedule(), l, r);
        StoreBE32(out, l[0]);
        StoreBE32(out + 4, r[0]);
    }
    StoreBE32(cv, l[0]);
    StoreBE32(cv + 4, r[0]);
}

void TZC_blowfish::ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept
{
    BlowfishSchedule& ks = schedule();
    std::memcpy(ks.P, kInitialP, sizeof ks.P);
    std::memcpy(ks.S[0], kInitialS0, sizeof ks.S[0]);
    std::memcpy(ks.S[1], kInitialS1, sizeof ks.S[1]);
    std::memcpy(ks.S[2], kInitialS2, sizeof ks.S[2]);
    std::memcpy(ks.S[3], kInitialS3, sizeof ks.S[3]);

    // The key is an endless cyclic stream of bytes, never padded.
    std::size_t k = 0;
    for (std::uint32_t& p : ks.P) {
        std::uint32_t word = 0;
        for (int i = 0; i < 4; ++i) {
            word = (word << 8) | key[k];
            k = (k + 1) % keyBytes;
        }
        p ^= word;
    }

    std::uint32_t l[1] = {0}, r[1] = {0};
    auto next = [&](std::uint32_t& first, std::uint32_t& second) {
        Crypt<1, false>(ks, l, r);
        first = l[0];
        second = r[0];
    };
    for (int i = 0; i < 18; i += 2) next(ks.P[i], ks.P[i + 1]);
    for (auto& box : ks.S)
        for (int i = 0; i < 256; i += 2) next(box[i], box[i + 1]);
}
