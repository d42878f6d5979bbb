#pragma once

#include <cstdint>

#include "cipher/cipherbase.h"

// The rotation (low 5 bits) and masking keys of the twelve quad-rounds.
struct Cast256Schedule {
    std::uint32_t Kr[12][4];
    std::uint32_t Km[12][4];
};

// CAST-256 (RFC 2612): 128-bit block, keys of 8 to 256 bits zero-padded to 256, 48 rounds.
class TZC_cast256 final : public BlockCipherModes<TZC_cast256, Cast256Schedule, 16> {
public:
    static constexpr std::size_t kParallelBlocks = 4;

    TZC_cast256();

    void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          const std::uint8_t* mask) const noexcept;
    void EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          std::uint8_t* cv) const noexcept;

private:
    friend class BlockCipherModes<TZC_cast256, Cast256Schedule, 16>;
    void ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept;
};
