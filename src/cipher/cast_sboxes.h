#pragma once

// The S-boxes S1..S4 and the three round-function types that CAST-128 and CAST-256 share.

#include <cstdint>

#include "cipher/bitops.h"

namespace cast {
#include "cipher/cast_sboxes.inc"

// The four boxes in one array, so a round addresses them all from one base register.
struct SBoxes {
    std::uint32_t s[4][256];
};

alignas(64) inline constexpr SBoxes kSBoxes = [] {
    SBoxes boxes{};
    for (int i = 0; i < 256; ++i) {
        boxes.s[0][i] = kCastS1[i];
        boxes.s[1][i] = kCastS2[i];
        boxes.s[2][i] = kCastS3[i];
        boxes.s[3][i] = kCastS4[i];
    }
    return boxes;
}();

// Round function of type 1, 2 or 3 on data word d with masking key m and rotation r (low 5 bits).
template <int kType>
inline std::uint32_t F(std::uint32_t d, std::uint32_t m, std::uint32_t r) noexcept
{
    static_assert(kType >= 1 && kType <= 3);
    // I = Ia Ib Ic Id rotated 16 bits further: Ic Id Ia Ib. Three bytes then take one instruction
    // each to extract; the slow one is Id, whose box enters the result last.
    const std::uint32_t i = RotateLeft32(kType == 1 ? m + d : kType == 2 ? (m ^ d) : m - d, r + 16);
    const auto& s = kSBoxes.s;
    const std::uint32_t a = s[0][(i >> 8) & 0xFF], b = s[1][i & 0xFF], c = s[2][i >> 24];
    const std::uint32_t e = s[3][(i >> 16) & 0xFF];
    if constexpr (kType == 1) return ((a ^ b) - c) + e;
    if constexpr (kType == 2) return ((a - b) + c) ^ e;
    return ((a + b) ^ c) - e;
}
}  // namespace cast
