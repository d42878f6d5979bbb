#pragma once

#include <cstdint>

#include "cipher/cipherbase.h"

// Row r of each schedule is the round key of round r, column c the state column c as a
// little-endian word; only columns 0..3 are used, since the block is always four columns.
// The decryption rows are those of the equivalent inverse cipher, indexed by the same round.
struct RijndaelSchedule {
    std::uint32_t encrypt[15][8];
    std::uint32_t decrypt[15][8];
};

// Rijndael with a 128-bit block (AES, FIPS-197). Keys of 8 to 256 bits; a key shorter than
// 128, 192 or 256 bits is that standard key with zero bytes appended.
// Where the processor has the AES instructions they do the rounds (constant time, far faster);
// otherwise the table transforms run. All give the same results.
class TZC_rijndael final : public BlockCipherModes<TZC_rijndael, RijndaelSchedule, 16> {
public:
    // From the slowest up: the tables; the AES instructions on one block per instruction; and,
    // for CBC decryption, the vector AES instructions on two blocks per instruction.
    enum class Transforms { Tables, Aes, VectorAes };

    // Runs the fastest transforms the processor offers, up to `ceiling`. Only tests pass a
    // ceiling: they must run every transform on one machine.
    explicit TZC_rijndael(Transforms ceiling = Transforms::VectorAes);

    Transforms InUse() const noexcept { return transforms_; }
    int Rounds() const noexcept { return rounds_; }

    void EncryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void DecryptBlock(const std::uint8_t* in, std::uint8_t* out) const noexcept;
    void EncryptBlocksCBC(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          std::uint8_t* cv) const noexcept;
    void DecryptBlocksXor(const std::uint8_t* in, std::uint8_t* out, std::size_t blocks,
                          const std::uint8_t* mask) const noexcept;

private:
    friend class BlockCipherModes<TZC_rijndael, RijndaelSchedule, 16>;
    void ExpandKey(const std::uint8_t* key, std::size_t keyBytes) noexcept;
    void OnBurn() noexcept { rounds_ = 0; }

    const Transforms transforms_;
    int rounds_ = 0;
};
