#pragma once

#include <cstdint>

#include "cipher/cipherbase.h"

// Each slot holds a 16-bit value: K are the key words, KPrime[i] = FI(K[i], K[i+1 mod 8]).
struct Misty1Schedule {
    std::uint32_t K[8];
    std::uint32_t KPrime[8];
};

// MISTY1 (RFC 2994): 64-bit block, 128-bit key, 8 rounds. Unlike the RFC, each 4-byte half of
// a block is read and written little-endian.
class TZC_misty1 final : public BlockCipherModes<TZC_misty1, Misty1Schedule, 8> {
public:
    static constexpr std::size_t kParallelBlocks = 4;

    TZC_misty1();

    void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          const std::uint8_t* mask) const noexcept;
    void EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          std::uint8_t* cv) const noexcept;

private:
    friend class BlockCipherModes<TZC_misty1, Misty1Schedule, 8>;
    void ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept;
};
