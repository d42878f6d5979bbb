#include <gtest/gtest.h>

#include <algorithm>
#include <span>

#include "cipher/blowfish.h"
#include "support/ciphertest.h"
#include "support/testdata.h"

namespace {
#include "cipher/blowfish_tables.inc"
}  // namespace

TEST(Blowfish, InitialTablesMatchThePublishedDigitsOfPi)
{
    const std::pair<const char*, std::span<const std::uint32_t>> tables[] = {
        {"P", kInitialP}, {"S0", kInitialS0}, {"S1", kInitialS1}, {"S2", kInitialS2}, {"S3", kInitialS3}};
    for (const auto& [name, table] : tables) {
        const auto published = ReadTable("blowfish_init.txt", name);
        EXPECT_TRUE(std::ranges::equal(table, published)) << name;
    }
}

TEST(Blowfish, EveryPublishedVector)
{
    const auto records = ReadVectors("blowfish.txt", "ECB");
    ASSERT_GE(records.size(), 58u);
    for (const auto& r : records) {
        const Bytes key = r.bytes("key");
        TZC_blowfish bf;
        bf.Init(key.data(), static_cast<int>(key.size() * 8), nullptr);
        std::uint8_t out[8];
        bf.EncryptECB(r.bytes("pt").data(), out);
        EXPECT_EQ(ToHex(out, 8), r.fields.at("ct")) << "line " << r.line;
        bf.DecryptECB(r.bytes("ct").data(), out);
        EXPECT_EQ(ToHex(out, 8), r.fields.at("pt")) << "line " << r.line;
    }
}

// CBC runs through the several-block kernels, which take F's second byte by shifts or, where the
// processor has BMI1, by a bit-field extraction: each way the processor offers, both ways.
TEST(Blowfish, PublishedCbcRecordEveryWay)
{
    for (const auto transforms : {TZC_blowfish::Transforms::Shifts, TZC_blowfish::Transforms::Bmi}) {
        for (const auto& r : ReadVectors("blowfish.txt", "CBC")) {
            const Bytes key = r.bytes("key"), iv = r.bytes("iv");
            Bytes data = r.bytes("pt");
            TZC_blowfish bf(transforms);
            if (bf.InUse() != transforms) continue;  // not offered by this processor
            bf.Init(key.data(), static_cast<int>(key.size() * 8), iv.data());
            bf.EncryptCBC(data.data(), data.data(), static_cast<int>(data.size()));
            EXPECT_EQ(ToHex(data), r.fields.at("ct")) << "way " << static_cast<int>(transforms);
            bf.Reset();
            bf.DecryptCBC(data.data(), data.data(), static_cast<int>(data.size()));
            EXPECT_EQ(data, r.bytes("pt")) << "way " << static_cast<int>(transforms);
        }
    }
}

TEST(Blowfish, ValuesOfOurOwnKeySizes)
{
    Bytes key(32), block(8);
    for (int i = 0; i < 32; ++i) key[i] = static_cast<std::uint8_t>(i);
    for (int i = 0; i < 8; ++i) block[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(EncryptOne<TZC_blowfish>(key, block), "46CDCC4D4D14BA2E");

    // The key is read cyclically: a key and the key repeated give the same schedule.
    EXPECT_EQ(EncryptOne<TZC_blowfish>(Bytes(8, 0), Bytes(8, 0)), EncryptOne<TZC_blowfish>(Bytes(16, 0), Bytes(8, 0)));
    EXPECT_EQ(EncryptOne<TZC_blowfish>(Bytes{0x5A}, block), EncryptOne<TZC_blowfish>(Bytes(56, 0x5A), block));
    EXPECT_EQ(EncryptOne<TZC_blowfish>({1, 2, 3}, block), EncryptOne<TZC_blowfish>({1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3}, block));

    // Init without IV: IV = E(FF..FF).
    TZC_blowfish bf;
    const Bytes ones(8, 0xFF);
    bf.Init(ones.data(), 64, nullptr);
    EXPECT_EQ(ToHex(bf.IV(), 8), "51866FD5B85ECB8A");
    EXPECT_EQ(ToHex(bf.ChainingBlock(), 8), "51866FD5B85ECB8A");
}

TEST(Blowfish, KeySizeRule)
{
    TZC_blowfish cipher;
    ExpectKeySizeRule(cipher, {0, -8, 4, 452, 456}, {8, 448});
}
