#pragma once

#include <cstdint>

#include "cipher/cipherbase.h"

struct TwofishSchedule {
    std::uint32_t K[40];       // K0..K3 input whitening, K4..K7 output whitening, then two per round
    std::uint32_t S[4];        // S-box key; the first RoundedKeySize()/64 words are used
    std::uint32_t KT[4][256];  // g = KT0[x0] ^ KT1[x1] ^ KT2[x2] ^ KT3[x3] under this key
};

// Twofish (Schneier et al. 1998), fully keyed: 128-bit block, 16 rounds, keys up to 256 bits,
// a shorter key padded with zero bytes to 128, 192 or 256 bits. Words are little-endian.
class TZC_twofish final : public BlockCipherModes<TZC_twofish, TwofishSchedule, 16> {
public:
    static constexpr std::size_t kParallelBlocks = 4;

    TZC_twofish();

    // 128, 192 or 256 after an Init; Burn leaves it.
    int RoundedKeySize() const noexcept { return roundedKeyBits_; }

    void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          const std::uint8_t* mask) const noexcept;
    void EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          std::uint8_t* cv) const noexcept;

private:
    friend class BlockCipherModes<TZC_twofish, TwofishSchedule, 16>;
    void ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept;

    int roundedKeyBits_ = 0;
};
