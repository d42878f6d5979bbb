// IDEA's decryption 16 blocks at a time. This file alone is compiled for AVX2 (-mavx2), so its
// code runs only where the processor has been asked first (TZC_idea).

#include <immintrin.h>

#include <cstdint>

namespace {
using Lanes16 = __m256i;

inline Lanes16 Add(Lanes16 a, Lanes16 b) noexcept { return _mm256_add_epi16(a, b); }
inline Lanes16 Sub(Lanes16 a, Lanes16 b) noexcept { return _mm256_sub_epi16(a, b); }
inline Lanes16 Xor(Lanes16 a, Lanes16 b) noexcept { return _mm256_xor_si256(a, b); }
inline Lanes16 Or(Lanes16 a, Lanes16 b) noexcept { return _mm256_or_si256(a, b); }
inline Lanes16 And(Lanes16 a, Lanes16 b) noexcept { return _mm256_and_si256(a, b); }
inline Lanes16 Low(Lanes16 a, Lanes16 b) noexcept { return _mm256_mullo_epi16(a, b); }
inline Lanes16 High(Lanes16 a, Lanes16 b) noexcept { return _mm256_mulhi_epu16(a, b); }
inline Lanes16 Greater(Lanes16 a, Lanes16 b) noexcept { return _mm256_cmpgt_epi16(a, b); }
inline Lanes16 Equal(Lanes16 a, Lanes16 b) noexcept { return _mm256_cmpeq_epi16(a, b); }
inline Lanes16 SwapBytes(Lanes16 x) noexcept
{
    return _mm256_or_si256(_mm256_slli_epi16(x, 8), _mm256_srli_epi16(x, 8));
}
inline Lanes16 Unpack16(Lanes16 a, Lanes16 b, bool high) noexcept
{
    return high ? _mm256_unpackhi_epi16(a, b) : _mm256_unpacklo_epi16(a, b);
}
inline Lanes16 Unpack32(Lanes16 a, Lanes16 b, bool high) noexcept
{
    return high ? _mm256_unpackhi_epi32(a, b) : _mm256_unpacklo_epi32(a, b);
}
inline Lanes16 Unpack64(Lanes16 a, Lanes16 b, bool high) noexcept
{
    return high ? _mm256_unpackhi_epi64(a, b) : _mm256_unpacklo_epi64(a, b);
}
inline Lanes16 LoadLanes(const std::uint8_t* p, Lanes16) noexcept
{
    return _mm256_loadu_si256(reinterpret_cast<const Lanes16*>(p));
}
inline void StoreLanes(std::uint8_t* p, Lanes16 x) noexcept
{
    _mm256_storeu_si256(reinterpret_cast<Lanes16*>(p), x);
}
inline Lanes16 Broadcast(std::uint16_t k, Lanes16) noexcept
{
    return _mm256_set1_epi16(static_cast<short>(k));
}
}  // namespace

#include "cipher/idearounds.h"

[[gnu::flatten]] void IdeaCryptSixteenBlocks(const std::uint16_t* k, const std::uint8_t* in, std::uint8_t* out) noexcept
{
    CryptBlocks<Lanes16>(k, in, out);
}
