#include <gtest/gtest.h>

#include <algorithm>
#include <span>

#include "cipher/misty1.h"
#include "support/ciphertest.h"
#include "support/testdata.h"

namespace {
#include "cipher/misty1_tables.inc"

const Bytes kRfcKey = FromHex("00112233445566778899AABBCCDDEEFF");

// The RFC writes each 4-byte half of a block big-endian; we write it little-endian.
Bytes ReverseHalves(Bytes b)
{
    std::reverse(b.begin(), b.begin() + 4);
    std::reverse(b.begin() + 4, b.end());
    return b;
}
}  // namespace

TEST(Misty1, SubstitutionTablesMatchThePublishedOnes)
{
    EXPECT_TRUE(std::ranges::equal(std::span(kS7), ReadTable("misty1_tables.txt", "S7")));
    EXPECT_TRUE(std::ranges::equal(std::span(kS9), ReadTable("misty1_tables.txt", "S9")));
}

TEST(Misty1, DerivedKeyWordsOfThePublishedKey)
{
    for (const auto& r : ReadVectors("misty1.txt", "KEYSCHED")) {
        const Bytes key = r.bytes("key");
        TZC_misty1 misty;
        misty.Init(key.data(), 128, nullptr);
        Bytes words;
        for (std::uint32_t w : misty.KeySchedule().KPrime) {
            words.push_back(static_cast<std::uint8_t>(w >> 8));
            words.push_back(static_cast<std::uint8_t>(w));
        }
        EXPECT_EQ(ToHex(words), r.fields.at("kprime"));
    }
}

// The published vectors hold each half big-endian (ECB) or already in our order (ECB_HALFREV).
TEST(Misty1, EveryPublishedVector)
{
    const auto records = ReadVectors("misty1.txt");
    int checked = 0;
    for (const auto& r : records) {
        if (r.kind != "ECB" && r.kind != "ECB_HALFREV") continue;
        const bool rfcOrder = r.kind == "ECB";
        const Bytes key = r.bytes("key");
        const Bytes pt = rfcOrder ? ReverseHalves(r.bytes("pt")) : r.bytes("pt");
        const Bytes ct = rfcOrder ? ReverseHalves(r.bytes("ct")) : r.bytes("ct");
        TZC_misty1 misty;
        misty.Init(key.data(), 128, nullptr);
        std::uint8_t out[8];
        misty.EncryptECB(pt.data(), out);
        EXPECT_EQ(ToHex(out, 8), ToHex(ct)) << "line " << r.line;
        misty.DecryptECB(ct.data(), out);
        EXPECT_EQ(ToHex(out, 8), ToHex(pt)) << "line " << r.line;
        ++checked;
    }
    EXPECT_EQ(checked, 33);
}

TEST(Misty1, ValuesOfOurByteOrder)
{
    // The RFC's plaintexts fed unchanged, as a file would feed them.
    EXPECT_EQ(EncryptOne<TZC_misty1>(kRfcKey, FromHex("0123456789ABCDEF")), "C22C685D7102D02E");
    EXPECT_EQ(EncryptOne<TZC_misty1>(kRfcKey, FromHex("FEDCBA9876543210")), "79743D99F7FF6270");

    TZC_misty1 misty;
    misty.Init(kRfcKey.data(), 128, nullptr);
    EXPECT_EQ(ToHex(misty.IV(), 8), "34D9B4FD5DE7B937");
    EXPECT_EQ(ToHex(misty.ChainingBlock(), 8), "34D9B4FD5DE7B937");
}

TEST(Misty1, ShortKeyIsTheFullKeyWithZerosAppended)
{
    const Bytes block = FromHex("0123456789ABCDEF");
    for (std::size_t n : {1u, 2u, 3u, 9u, 15u}) {
        Bytes key(kRfcKey.begin(), kRfcKey.begin() + n), padded(16, 0);
        std::copy(key.begin(), key.end(), padded.begin());
        EXPECT_EQ(EncryptOne<TZC_misty1>(key, block), EncryptOne<TZC_misty1>(padded, block)) << n << " bytes";
    }
}

TEST(Misty1, KeySizeRule)
{
    TZC_misty1 cipher;
    ExpectKeySizeRule(cipher, {0, -8, 4, 100, 136}, {8, 128});
}
