#include "cipher/blowfish.h"

#include <algorithm>
#include <cstring>

namespace {
// F's second byte by shifts, which every x86-64 processor has.
inline std::uint64_t Byte2(std::uint64_t x) noexcept
{
    return (x >> 16) & 0xFF;
}
}  // namespace

#include "cipher/blowfishrounds.h"

namespace {
#include "cipher/blowfish_tables.inc"

bool HasBmi() noexcept
{
    return __builtin_cpu_supports("bmi");
}
}  // namespace

TZC_blowfish::TZC_blowfish(Transforms ceiling)
    : BlockCipherModes(5, "Blowfish", 448), transforms_(std::min(ceiling, HasBmi() ? Transforms::Bmi : Transforms::Shifts))
{
}

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
        if (transforms_ == Transforms::Bmi) {
            BlowfishDecryptBmi(schedule(), i, o, lanes);
        } else {
            CryptBytes<lanes, true>(schedule(), i, o);
        }
    });
}

void TZC_blowfish::EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                                    std::uint8_t* cv) const noexcept
{
    if (transforms_ == Transforms::Bmi) {
        BlowfishEncryptCbcBmi(schedule(), in, out, blocks, cv);
    } else {
        EncryptCbc(schedule(), in, out, blocks, cv);
    }
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
