#pragma once

#include <cstdint>

#include "cipher/cipherbase.h"

struct BlowfishSchedule {
    std::uint32_t S[4][256];
    std::uint32_t P[18];
};

// Blowfish (Schneier 1993): 64-bit block, 16 rounds, keys of 8 to 448 bits read cyclically.
class TZC_blowfish final : public BlockCipherModes<TZC_blowfish, BlowfishSchedule, 8> {
public:
    static constexpr std::size_t kParallelBlocks = 8;

    // F's second byte is taken by shifts, or by one BMI1 bit-field extraction where the
    // processor has it; both give the same bytes.
    enum class Transforms { Shifts, Bmi };

    // Runs the best the processor offers, up to `ceiling`. Only tests pass a ceiling: they must
    // run every way on one machine.
    explicit TZC_blowfish(Transforms ceiling = Transforms::Bmi);

    Transforms InUse() const noexcept { return transforms_; }

    void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          const std::uint8_t* mask) const noexcept;
    void EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          std::uint8_t* cv) const noexcept;

private:
    friend class BlockCipherModes<TZC_blowfish, BlowfishSchedule, 8>;
    void ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept;

    const Transforms transforms_;
};
