#pragma once

#include <cstdint>

#include "cipher/cipherbase.h"

struct GostSchedule {
    std::uint32_t K[8];
};

// GOST 28147-89 simple substitution: 64-bit block, 256-bit key, 32 rounds, the S-boxes of the
// GOST R 34.11-94 test parameter set. Halves and key words are little-endian.
class TZC_gost final : public BlockCipherModes<TZC_gost, GostSchedule, 8> {
public:
    static constexpr std::size_t kParallelBlocks = 8;

    TZC_gost();

    void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          const std::uint8_t* mask) const noexcept;
    void EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          std::uint8_t* cv) const noexcept;

private:
    friend class BlockCipherModes<TZC_gost, GostSchedule, 8>;
    void ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept;
};
