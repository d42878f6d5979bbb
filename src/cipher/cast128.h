#pragma once

#include <cstdint>

#include "cipher/cipherbase.h"

// K1..K32 of RFC 2144: the masking keys, then the rotation keys (stored as their low 5 bits).
struct Cast128Schedule {
    std::uint32_t Km[16];
    std::uint32_t Kr[16];
};

// CAST-128 (RFC 2144): 64-bit block, keys of 8 to 128 bits zero-padded to 128,
// 12 rounds for keys of up to 80 bits and 16 beyond.
class TZC_cast128 final : public BlockCipherModes<TZC_cast128, Cast128Schedule, 8> {
public:
    static constexpr std::size_t kParallelBlocks = 8;

    TZC_cast128();

    int Rounds() const noexcept { return rounds_; }

    void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          const std::uint8_t* mask) const noexcept;
    void EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          std::uint8_t* cv) const noexcept;

private:
    friend class BlockCipherModes<TZC_cast128, Cast128Schedule, 8>;
    void ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept;

    int rounds_ = 16;  // set by each Init; Burn leaves it
};
