// Blowfish's kernels with F's second byte taken by one bit-field extraction. This file alone is
// compiled for BMI1 (-mbmi), so its code runs only where the processor has been asked first
// (TZC_blowfish).

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace {
inline std::uint64_t Byte2(std::uint64_t x) noexcept
{
    return _bextr_u64(x, 16, 8);
}
}  // namespace

#include "cipher/blowfishrounds.h"

void BlowfishEncryptCbcBmi(const BlowfishSchedule& ks, const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                           std::uint8_t* cv) noexcept
{
    EncryptCbc(ks, in, out, blocks, cv);
}

// Vectorised, the lanes' table look-ups get serialised through SSE shuffles; scalar is faster.
[[gnu::optimize("no-tree-vectorize")]] void BlowfishDecryptBmi(const BlowfishSchedule& ks, const std::uint8_t* in,
                                                               std::uint8_t* out, std::size_t lanes) noexcept
{
    if (lanes == TZC_blowfish::kParallelBlocks) {
        CryptBytes<TZC_blowfish::kParallelBlocks, true>(ks, in, out);
    } else {
        CryptBytes<1, true>(ks, in, out);
    }
}
