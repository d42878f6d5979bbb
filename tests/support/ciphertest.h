#pragma once

// Checks that the tests of the individual ciphers share.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "cipher/cipherbase.h"
#include "support/testdata.h"

// Init refuses every size of refused with the cipher's own text, leaving it uninitialised,
// and accepts every size of accepted.
inline void ExpectKeySizeRule(TZC_blockcipher& cipher, std::initializer_list<int> refused,
                              std::initializer_list<int> accepted)
{
    const Bytes key(64, 1);
    for (int size : refused) {
        try {
            cipher.Init(key.data(), size, nullptr);
            ADD_FAILURE() << size << " accepted";
        } catch (const ZorvantaError& e) {
            EXPECT_EQ(std::string(e.what()), cipher.Algorithm() + ": Invalid key size - " + std::to_string(size));
        }
        EXPECT_FALSE(cipher.Initialized()) << size;
    }
    for (int size : accepted) EXPECT_NO_THROW(cipher.Init(key.data(), size, nullptr)) << size;
}

// One block encrypted under key, whose size is its length, in hex.
template <class Cipher>
std::string EncryptOne(const Bytes& key, const Bytes& block)
{
    Cipher cipher;
    cipher.Init(key.data(), static_cast<int>(key.size() * 8), nullptr);
    std::uint8_t out[Cipher::kBlock];
    cipher.EncryptECB(block.data(), out);
    return ToHex(out, Cipher::kBlock);
}
