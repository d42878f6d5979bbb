#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>

#include "cipher/cast128.h"
#include "cipher/cast_sboxes.h"
#include "support/ciphertest.h"
#include "support/testdata.h"

namespace {
#include "cipher/cast128_tables.inc"

int Bits(const Bytes& key)
{
    return static_cast<int>(key.size() * 8);
}

std::string EncryptOne(TZC_cast128& cipher, const Bytes& key, const Bytes& block)
{
    cipher.Init(key.data(), Bits(key), nullptr);
    std::uint8_t out[8];
    cipher.EncryptECB(block.data(), out);
    return ToHex(out, 8);
}

bool SameSchedule(const TZC_cast128& a, const TZC_cast128& b)
{
    return std::memcmp(&a.KeySchedule(), &b.KeySchedule(), sizeof(Cast128Schedule)) == 0;
}
}  // namespace

TEST(Cast128, SBoxesMatchThePublishedTables)
{
    const std::pair<const char*, std::span<const std::uint32_t>> tables[] = {
        {"S1", cast::kSBoxes.s[0]}, {"S2", cast::kSBoxes.s[1]}, {"S3", cast::kSBoxes.s[2]},
        {"S4", cast::kSBoxes.s[3]}, {"S5", kCastS5},           {"S6", kCastS6},
        {"S7", kCastS7},           {"S8", kCastS8}};
    for (const auto& [name, table] : tables) {
        const auto published = ReadTable("cast_sboxes.txt", name);
        EXPECT_TRUE(std::ranges::equal(table, published)) << name;
    }
}

TEST(Cast128, EveryPublishedVector)
{
    const auto records = ReadVectors("cast128.txt", "ECB");
    ASSERT_EQ(records.size(), 3u);
    for (const auto& r : records) {
        const Bytes key = r.bytes("key");
        TZC_cast128 cipher;
        EXPECT_EQ(EncryptOne(cipher, key, r.bytes("pt")), r.fields.at("ct")) << "line " << r.line;
        std::uint8_t out[8];
        cipher.DecryptECB(r.bytes("ct").data(), out);
        EXPECT_EQ(ToHex(out, 8), r.fields.at("pt")) << "line " << r.line;
    }
}

// RFC 2144 B.2: a million rounds of encrypting each array under the other as the key.
TEST(Cast128, FullMaintenanceTest)
{
    const auto records = ReadVectors("cast128.txt", "MAINT");
    ASSERT_EQ(records.size(), 1u);
    const VectorRecord& r = records[0];
    Bytes a = r.bytes("a0"), b = r.bytes("b0");
    const long iterations = std::stol(r.fields.at("iterations"));
    const std::uint8_t iv[8] = {};
    TZC_cast128 cipher;
    auto encryptHalves = [&](Bytes& data, const Bytes& key) {
        cipher.Init(key.data(), 128, iv);
        cipher.EncryptECB(data.data(), data.data());
        cipher.EncryptECB(data.data() + 8, data.data() + 8);
    };
    for (long i = 0; i < iterations; ++i) {
        encryptHalves(a, b);
        encryptHalves(b, a);
    }
    EXPECT_EQ(ToHex(a), r.fields.at("a"));
    EXPECT_EQ(ToHex(b), r.fields.at("b"));
}

// Keys shorter than 128 bits are zero-padded: same subkeys as the padded key, but up to
// 80 bits only 12 rounds run. One component is re-keyed throughout, so every Init must
// replace both the subkeys and the round count of the key before.
TEST(Cast128, ShortKeysArePaddedAndRunTwelveRoundsUpToEightyBits)
{
    const Bytes block = FromHex("0123456789ABCDEF");
    TZC_cast128 reused;
    for (std::size_t n = 1; n <= 16; ++n) {
        Bytes shortKey(n);
        std::uint8_t next = 0;  // 11, 22, .. FF, 10, 21, ..: no zero byte
        for (std::uint8_t& byte : shortKey) byte = next += 0x11;
        Bytes key = shortKey;
        key.resize(16, 0);

        TZC_cast128 padded, cut;
        const std::string paddedCt = EncryptOne(padded, key, block);
        const std::string shortCt = EncryptOne(cut, shortKey, block);
        EXPECT_EQ(EncryptOne(reused, shortKey, block), shortCt) << n;

        const int rounds = n <= 10 ? 12 : 16;
        EXPECT_EQ(cut.Rounds(), rounds) << n;
        EXPECT_EQ(reused.Rounds(), rounds) << n;
        EXPECT_TRUE(SameSchedule(cut, padded)) << n;
        EXPECT_TRUE(SameSchedule(reused, padded)) << n;
        EXPECT_EQ(shortCt == paddedCt, rounds == 16) << n;
    }
}

TEST(Cast128, KeySizeRule)
{
    TZC_cast128 cipher;
    ExpectKeySizeRule(cipher, {0, -8, 4, 100, 136}, {8, 128});
}
