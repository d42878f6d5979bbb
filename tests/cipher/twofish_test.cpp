#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>

#include "cipher/twofish.h"
#include "support/ciphertest.h"
#include "support/testdata.h"

namespace {
#include "cipher/twofish_tables.inc"

void InitWith(TZC_twofish& tf, const Bytes& key)
{
    tf.Init(key.data(), static_cast<int>(key.size() * 8), nullptr);
}

std::string SubkeysHex(const TZC_twofish& tf)
{
    std::string hex;
    for (std::uint32_t k : tf.KeySchedule().K) {
        std::uint8_t be[4];
        StoreBE32(be, k);
        hex += ToHex(be, 4);
    }
    return hex;
}
}  // namespace

TEST(Twofish, PermutationsMatchThePublishedTables)
{
    const std::pair<const char*, std::span<const std::uint8_t>> tables[] = {{"q0", kQ0}, {"q1", kQ1}};
    for (const auto& [name, table] : tables) {
        const auto published = ReadTable("twofish_q.txt", name);
        EXPECT_TRUE(std::ranges::equal(table, published)) << name;
    }
}

TEST(Twofish, EveryPublishedVector)
{
    const auto records = ReadVectors("twofish.txt", "ECB");
    ASSERT_EQ(records.size(), 150u);
    for (const auto& r : records) {
        TZC_twofish tf;
        InitWith(tf, r.bytes("key"));
        std::uint8_t out[16];
        tf.EncryptECB(r.bytes("pt").data(), out);
        EXPECT_EQ(ToHex(out, 16), r.fields.at("ct")) << "line " << r.line;
        tf.DecryptECB(r.bytes("ct").data(), out);
        EXPECT_EQ(ToHex(out, 16), r.fields.at("pt")) << "line " << r.line;
    }
}

TEST(Twofish, PublishedSubkeys)
{
    const auto records = ReadVectors("twofish.txt", "SUBKEYS");
    ASSERT_EQ(records.size(), 1u);
    TZC_twofish tf;
    InitWith(tf, records[0].bytes("key"));
    EXPECT_EQ(SubkeysHex(tf), records[0].fields.at("k"));
}

TEST(Twofish, InitWithoutIvEncryptsOnes)
{
    const struct {
        const char* key;
        const char* iv;
    } cases[] = {
        {"00000000000000000000000000000000", "72FE83874D481D0EDA30AFB9EB12CF45"},
        {"0123456789ABCDEFFEDCBA987654321000112233445566778899AABBCCDDEEFF", "FDA5557FC227BE6D3A564FEF2D369492"},
    };
    for (const auto& c : cases) {
        TZC_twofish tf;
        InitWith(tf, FromHex(c.key));
        EXPECT_EQ(ToHex(tf.IV(), 16), c.iv) << c.key;
        EXPECT_EQ(ToHex(tf.ChainingBlock(), 16), c.iv) << c.key;
    }
}

TEST(Twofish, ShortKeysArePaddedWithZerosToTheNextStandardLength)
{
    const struct {
        int bits;
        int rounded;
    } cases[] = {{8, 128}, {120, 128}, {128, 128}, {136, 192}, {192, 192}, {200, 256}, {248, 256}, {256, 256}};
    for (const auto& c : cases) {
        Bytes key(static_cast<std::size_t>(c.bits / 8));
        for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(0xA5 ^ (i * 37));
        Bytes padded = key;
        padded.resize(static_cast<std::size_t>(c.rounded / 8), 0);

        TZC_twofish shortKey, fullKey;
        InitWith(shortKey, key);
        InitWith(fullKey, padded);
        EXPECT_EQ(shortKey.RoundedKeySize(), c.rounded) << c.bits;
        EXPECT_EQ(std::memcmp(&shortKey.KeySchedule(), &fullKey.KeySchedule(), sizeof(TwofishSchedule)), 0)
            << c.bits;
        EXPECT_EQ(ToHex(shortKey.IV(), 16), ToHex(fullKey.IV(), 16)) << c.bits;
    }
}

TEST(Twofish, KeySizeRule)
{
    TZC_twofish cipher;
    ExpectKeySizeRule(cipher, {0, -8, 4, 100, 257, 264}, {8, 256});
}
