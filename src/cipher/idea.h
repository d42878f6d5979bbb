#pragma once

#include <cstdint>

#include "cipher/cipherbase.h"

struct IdeaSchedule {
    std::uint16_t encrypt[52];
    std::uint16_t decrypt[52];
};

// Multiplication modulo 2^16 + 1 of 16-bit words in which 0 stands for 2^16.
// One multiplication and a correction: no division may run per block.
inline std::uint16_t IdeaMultiply(std::uint16_t a, std::uint16_t b) noexcept
{
    const std::uint32_t p = std::uint32_t{a} * b;
    if (p == 0) return static_cast<std::uint16_t>(1 - a - b);
    // lo - hi, plus 1 when it borrows: the borrow flag feeds the add straight away.
    std::uint32_t difference;
    const bool borrow = __builtin_sub_overflow(p & 0xFFFF, p >> 16, &difference);
    return static_cast<std::uint16_t>(difference + borrow);
}

// The inverse under IdeaMultiply; 0 and 1 are their own inverses. Divides: key setup only.
std::uint16_t IdeaInverse(std::uint16_t x) noexcept;

// IDEA (Lai, Massey 1991): 64-bit block of four big-endian 16-bit words, 8 rounds,
// 128-bit key; shorter keys are padded with zero bytes.
class TZC_idea final : public BlockCipherModes<TZC_idea, IdeaSchedule, 8> {
public:
    // Decryption runs 8 blocks at a time in SSE2 vectors, or 16 in AVX2 vectors where the
    // processor has them; both give the same bytes.
    enum class Transforms { Sse2, Avx2 };

    // Runs the widest vectors the processor offers, up to `ceiling`. Only tests pass a ceiling:
    // they must run every width on one machine.
    explicit TZC_idea(Transforms ceiling = Transforms::Avx2);

    Transforms InUse() const noexcept { return transforms_; }

    void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          const std::uint8_t* mask) const noexcept;
    void EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          std::uint8_t* cv) const noexcept;

private:
    friend class BlockCipherModes<TZC_idea, IdeaSchedule, 8>;
    void ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept;

    const Transforms transforms_;
};
