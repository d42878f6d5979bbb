#include <gtest/gtest.h>

#include <cstring>
#include <iostream>
#include <random>

#include "cipher/rijndael.h"
#include "support/ciphertest.h"
#include "support/testdata.h"

namespace {
using Transforms = TZC_rijndael::Transforms;

Bytes Counting(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i);
    return b;
}

Bytes Random(std::mt19937& rng, std::size_t n)
{
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

int Bits(const Bytes& key)
{
    return static_cast<int>(key.size() * 8);
}

const char* Name(Transforms t)
{
    switch (t) {
    case Transforms::Tables: return "Tables";
    case Transforms::Aes: return "Aes";
    case Transforms::VectorAes: return "VectorAes";
    }
    return "?";
}

// Every test below runs on each transform the processor offers (the others fall back to a
// slower one and run that again).
class Rijndael : public testing::TestWithParam<Transforms> {
protected:
    TZC_rijndael aes{GetParam()};

    std::string EncryptOne(const Bytes& key, const Bytes& block)
    {
        aes.Init(key.data(), Bits(key), nullptr);
        std::uint8_t out[16];
        aes.EncryptECB(block.data(), out);
        return ToHex(out, 16);
    }
};

INSTANTIATE_TEST_SUITE_P(Transforms, Rijndael,
                         testing::Values(Transforms::Tables, Transforms::Aes, Transforms::VectorAes),
                         [](const auto& p) { return Name(p.param); });
}  // namespace

TEST_P(Rijndael, EveryPublishedVector)
{
    const auto records = ReadVectors("aes.txt", "ECB");
    ASSERT_EQ(records.size(), 4u);
    for (const auto& r : records) {
        const Bytes key = r.bytes("key");
        aes.Init(key.data(), Bits(key), nullptr);
        std::uint8_t out[16];
        aes.EncryptECB(r.bytes("pt").data(), out);
        EXPECT_EQ(ToHex(out, 16), r.fields.at("ct")) << "line " << r.line;
        aes.DecryptECB(r.bytes("ct").data(), out);
        EXPECT_EQ(ToHex(out, 16), r.fields.at("pt")) << "line " << r.line;
    }
}

TEST_P(Rijndael, InitWithoutIvEncryptsAllOnes)
{
    const std::pair<std::size_t, const char*> cases[] = {
        {32, "E999E41D4CA770DA5387117B5D8F57EE"},
        {16, "3C441F32CE07822364D7A2990E50BB13"},
    };
    for (const auto& [keyBytes, iv] : cases) {
        const Bytes key = Counting(keyBytes);
        aes.Init(key.data(), Bits(key), nullptr);
        EXPECT_EQ(ToHex(aes.IV(), 16), iv);
        EXPECT_EQ(ToHex(aes.ChainingBlock(), 16), iv);
    }
}

TEST_P(Rijndael, ShortKeysAreZeroPaddedToTheNextStandardLength)
{
    const Bytes block = Counting(16);
    const std::pair<int, int> cases[] = {{8, 16}, {120, 16}, {136, 24}, {184, 24}, {200, 32}, {248, 32}};
    for (const auto& [bits, paddedBytes] : cases) {
        Bytes key(static_cast<std::size_t>(bits / 8), 0xA5);
        const std::string shortKey = EncryptOne(key, block);
        key.resize(static_cast<std::size_t>(paddedBytes), 0);
        EXPECT_EQ(shortKey, EncryptOne(key, block)) << bits;
    }
}

TEST_P(Rijndael, RoundCountFollowsKeyLength)
{
    const Bytes key = Counting(32);
    const std::pair<int, int> cases[] = {{8, 10}, {128, 10}, {136, 12}, {192, 12}, {200, 14}, {256, 14}};
    for (const auto& [bits, rounds] : cases) {
        aes.Init(key.data(), bits, nullptr);
        EXPECT_EQ(aes.Rounds(), rounds) << bits;
    }
    aes.Burn();
    EXPECT_EQ(aes.Rounds(), 0);
}

TEST_P(Rijndael, InitReplacesTheWholeKeyState)
{
    TZC_rijndael fresh{GetParam()};
    const Bytes longKey = Counting(32), shortKey(16, 7);
    fresh.Init(shortKey.data(), 128, nullptr);
    aes.Init(longKey.data(), 256, nullptr);
    aes.Init(shortKey.data(), 128, nullptr);
    EXPECT_EQ(std::memcmp(&aes.KeySchedule(), &fresh.KeySchedule(), sizeof(RijndaelSchedule)), 0);
    EXPECT_EQ(ToHex(aes.IV(), 16), ToHex(fresh.IV(), 16));
}

TEST_P(Rijndael, KeySizeRule)
{
    ExpectKeySizeRule(aes, {0, -8, 100, 4, 264}, {});
}

// The AES instructions are an oracle independent of our tables and of our transforms. Many keys
// and blocks reach every entry of every table, and runs of many lengths, in place and not,
// cover every batch width of CBC decryption and the remainders.
TEST(RijndaelTransforms, TablesAgreeWithTheAesInstructions)
{
    for (Transforms fast : {Transforms::Aes, Transforms::VectorAes}) {
        TZC_rijndael instructions(fast), tables(Transforms::Tables);
        if (instructions.InUse() != fast) {
            std::cout << "[   SKIP   ] " << Name(fast) << ": not offered by this processor\n";
            continue;
        }
        std::mt19937 rng(2001);
        for (int bits : {128, 192, 256, 8, 136, 200}) {
            for (std::size_t trial = 0; trial < 40; ++trial) {
                SCOPED_TRACE(testing::Message() << Name(fast) << ", " << bits << " bits, trial " << trial);
                const Bytes key = Random(rng, static_cast<std::size_t>(bits / 8));
                const Bytes plain = Random(rng, 16 * 3 * trial + trial % 16);
                const int length = static_cast<int>(plain.size());
                instructions.Init(key.data(), bits, nullptr);
                tables.Init(key.data(), bits, nullptr);
                ASSERT_EQ(ToHex(instructions.IV(), 16), ToHex(tables.IV(), 16));

                Bytes a = plain, b = plain;
                instructions.EncryptCBC(a.data(), a.data(), length);
                tables.EncryptCBC(b.data(), b.data(), length);
                ASSERT_EQ(a, b);
                EXPECT_EQ(ToHex(instructions.ChainingBlock(), 16), ToHex(tables.ChainingBlock(), 16));

                instructions.Reset();
                tables.Reset();
                const bool inPlace = trial % 2 == 0;
                Bytes fromA(a.size()), fromB(b.size());
                instructions.DecryptCBC(a.data(), inPlace ? a.data() : fromA.data(), length);
                tables.DecryptCBC(b.data(), inPlace ? b.data() : fromB.data(), length);
                EXPECT_EQ(inPlace ? a : fromA, plain);
                EXPECT_EQ(inPlace ? b : fromB, plain);
                EXPECT_EQ(ToHex(instructions.ChainingBlock(), 16), ToHex(tables.ChainingBlock(), 16));
            }
        }
    }
}
