#include <gtest/gtest.h>

#include <numeric>

#include "cipher/gost.h"
#include "support/ciphertest.h"
#include "support/testdata.h"

namespace {
Bytes Counting(std::size_t n)
{
    Bytes b(n);
    std::iota(b.begin(), b.end(), std::uint8_t{0});
    return b;
}
}  // namespace

TEST(Gost, EveryPublishedVector)
{
    const auto records = ReadVectors("gost.txt", "ECB");
    ASSERT_EQ(records.size(), 12u);
    for (const auto& r : records) {
        const Bytes key = r.bytes("key");
        TZC_gost gost;
        gost.Init(key.data(), 256, nullptr);
        std::uint8_t out[8];
        gost.EncryptECB(r.bytes("pt").data(), out);
        EXPECT_EQ(ToHex(out, 8), r.fields.at("ct")) << "line " << r.line;
        gost.DecryptECB(r.bytes("ct").data(), out);
        EXPECT_EQ(ToHex(out, 8), r.fields.at("pt")) << "line " << r.line;
    }
}

TEST(Gost, ByteOrderOfKeyWordsAndHalves)
{
    EXPECT_EQ(EncryptOne<TZC_gost>(Bytes(32, 0), Bytes(8, 0)), "C9FDC2A6E20B6112");
    EXPECT_EQ(EncryptOne<TZC_gost>(Counting(32), Counting(8)), "D48F98745D38B9D2");
}

TEST(Gost, ShortKeyIsTheFullKeyWithZerosAppended)
{
    const Bytes block = Counting(8);
    for (std::size_t n : {1u, 4u, 5u, 17u, 31u}) {
        Bytes key(n, 0xA7), padded(32, 0);
        std::copy(key.begin(), key.end(), padded.begin());
        EXPECT_EQ(EncryptOne<TZC_gost>(key, block), EncryptOne<TZC_gost>(padded, block)) << n << " bytes";
    }
    EXPECT_EQ(EncryptOne<TZC_gost>(Bytes{0}, Bytes(8, 0)), "C9FDC2A6E20B6112");
}

TEST(Gost, KeySizeRule)
{
    TZC_gost cipher;
    ExpectKeySizeRule(cipher, {0, -8, 4, 100, 264}, {8, 256});
}
