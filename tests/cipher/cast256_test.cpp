#include <gtest/gtest.h>

#include "cipher/cast256.h"
#include "support/ciphertest.h"
#include "support/testdata.h"

namespace {
int Bits(const Bytes& key)
{
    return static_cast<int>(key.size() * 8);
}

std::string EncryptOne(TZC_cast256& cipher, const Bytes& key, const Bytes& block)
{
    cipher.Init(key.data(), Bits(key), nullptr);
    std::uint8_t out[16];
    cipher.EncryptECB(block.data(), out);
    return ToHex(out, 16);
}
}  // namespace

TEST(Cast256, EveryPublishedVector)
{
    const auto records = ReadVectors("cast256.txt", "ECB");
    ASSERT_EQ(records.size(), 13u);
    for (const auto& r : records) {
        TZC_cast256 cipher;
        EXPECT_EQ(EncryptOne(cipher, r.bytes("key"), r.bytes("pt")), r.fields.at("ct")) << "line " << r.line;
        std::uint8_t out[16];
        cipher.DecryptECB(r.bytes("ct").data(), out);
        EXPECT_EQ(ToHex(out, 16), r.fields.at("pt")) << "line " << r.line;
    }
}

// Keys shorter than 256 bits encrypt exactly as the zero-padded key; one component is
// re-keyed throughout, so every Init must replace the whole schedule of the key before.
TEST(Cast256, ShortKeysEqualTheirZeroPaddedKey)
{
    const Bytes block = FromHex("00112233445566778899AABBCCDDEEFF");
    TZC_cast256 reused;
    for (std::size_t n = 1; n < 32; ++n) {
        Bytes shortKey(n);
        std::uint8_t next = 0;  // 11, 22, .. FF, 10, 21, ..: no zero byte
        for (std::uint8_t& byte : shortKey) byte = next += 0x11;
        Bytes key = shortKey;
        key.resize(32, 0);

        TZC_cast256 padded;
        const std::string expected = EncryptOne(padded, key, block);
        EXPECT_EQ(EncryptOne(reused, shortKey, block), expected) << n;
    }
}

TEST(Cast256, KeySizeRule)
{
    TZC_cast256 cipher;
    ExpectKeySizeRule(cipher, {0, -8, 4, 100, 264}, {8, 256});
}
