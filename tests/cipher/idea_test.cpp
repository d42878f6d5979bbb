#include <gtest/gtest.h>

#include <cstring>

#include "cipher/idea.h"
#include "support/ciphertest.h"
#include "support/testdata.h"

namespace {
const Bytes kStandardKey = FromHex("00010002000300040005000600070008");

std::string Words(const std::uint16_t* words, std::size_t n)
{
    Bytes bytes;
    for (std::size_t i = 0; i < n; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(words[i] >> 8));
        bytes.push_back(static_cast<std::uint8_t>(words[i]));
    }
    return ToHex(bytes);
}
}  // namespace

TEST(Idea, EveryPublishedVectorBothWaysInPlace)
{
    const auto records = ReadVectors("idea.txt", "ECB");
    ASSERT_EQ(records.size(), 11u);
    for (const auto& r : records) {
        const Bytes key = r.bytes("key");
        TZC_idea idea;
        idea.Init(key.data(), 128, nullptr);
        Bytes block = r.bytes("pt");
        idea.EncryptECB(block.data(), block.data());
        EXPECT_EQ(ToHex(block), r.fields.at("ct")) << "line " << r.line;
        idea.DecryptECB(block.data(), block.data());
        EXPECT_EQ(ToHex(block), r.fields.at("pt")) << "line " << r.line;
    }
}

TEST(Idea, SubkeysAndIvOfTheStandardKey)
{
    const auto records = ReadVectors("idea.txt", "SUBKEYS");
    ASSERT_EQ(records.size(), 1u);
    TZC_idea idea;
    idea.Init(records[0].bytes("key").data(), 128, nullptr);
    EXPECT_EQ(Words(idea.KeySchedule().encrypt, 52), records[0].fields.at("ek"));
    EXPECT_EQ(Words(idea.KeySchedule().decrypt, 52), records[0].fields.at("dk"));

    // Without an IV: IV = E(FF..FF).
    EXPECT_EQ(ToHex(idea.IV(), 8), "6CFF9C392E1F9617");
    EXPECT_EQ(ToHex(idea.ChainingBlock(), 8), "6CFF9C392E1F9617");
}

TEST(Idea, ShortKeysArePaddedWithZeroBytes)
{
    const Bytes block = FromHex("0123456789ABCDEF");
    for (std::size_t n : {1u, 2u, 7u, 15u}) {
        Bytes key(kStandardKey.begin(), kStandardKey.begin() + static_cast<long>(n));
        key[0] = 0xA7;  // no all-zero prefix
        Bytes padded = key;
        padded.resize(16, 0);
        EXPECT_EQ(EncryptOne<TZC_idea>(key, block), EncryptOne<TZC_idea>(padded, block)) << n << " bytes";
    }
}

TEST(Idea, MultiplyModulo65537AndItsInverse)
{
    const auto reference = [](std::uint32_t a, std::uint32_t b) {
        const std::uint64_t product = std::uint64_t{a ? a : 0x10000u} * (b ? b : 0x10000u);
        return static_cast<std::uint16_t>(product % 0x10001);  // 65536 stored as 0
    };
    for (std::uint32_t b : {0x0000, 0x0001, 0x0002, 0x8000, 0x8001, 0xFFFF, 0x1234}) {
        for (std::uint32_t a = 0; a <= 0xFFFF; ++a) {
            ASSERT_EQ(IdeaMultiply(static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b)), reference(a, b))
                << a << " * " << b;
        }
    }

    EXPECT_EQ(IdeaInverse(0), 0);
    EXPECT_EQ(IdeaInverse(1), 1);
    for (std::uint32_t x = 0; x <= 0xFFFF; ++x) {
        const auto word = static_cast<std::uint16_t>(x);
        ASSERT_EQ(IdeaMultiply(word, IdeaInverse(word)), 1) << x;
    }
}

// The vector paths have their own multiplication; sweeping the first word through every value
// drives each of its cases (a zero factor, both zero, a borrow) against the one-block path, on
// every vector width the processor offers.
TEST(Idea, VectorDecryptionEqualsOneBlockDecryptionForEveryFirstWord)
{
    constexpr std::uint32_t kBlocks = 16;  // one AVX2 batch, two SSE2 batches
    for (const auto transforms : {TZC_idea::Transforms::Sse2, TZC_idea::Transforms::Avx2}) {
        for (const Bytes& key : {Bytes(16, 0), kStandardKey}) {
            TZC_idea idea(transforms);
            if (idea.InUse() != transforms) continue;  // not offered by this processor
            idea.Init(key.data(), 128, nullptr);
            std::uint8_t in[8 * kBlocks], batch[8 * kBlocks], single[8];
            const std::uint8_t zeroMasks[8 * kBlocks] = {};
            for (std::uint32_t first = 0; first <= 0xFFFF; first += kBlocks) {
                for (std::uint32_t i = 0; i < kBlocks; ++i) {
                    const std::uint32_t word = first + i;
                    const std::uint8_t block[8] = {std::uint8_t(word >> 8), std::uint8_t(word), 0, std::uint8_t(i),
                                                   std::uint8_t(word), 0xFF, std::uint8_t(word >> 8),
                                                   std::uint8_t(word)};
                    std::memcpy(in + 8 * i, block, 8);
                }
                idea.DecryptBlocksXor(in, batch, kBlocks, zeroMasks);
                for (std::uint32_t i = 0; i < kBlocks; ++i) {
                    idea.DecryptBlock(in + 8 * i, single);
                    ASSERT_EQ(ToHex(batch + 8 * i, 8), ToHex(single, 8))
                        << "key " << ToHex(key) << " word " << first + i << " width " << static_cast<int>(transforms);
                }
            }
        }
    }
}

TEST(Idea, KeySizeRule)
{
    TZC_idea cipher;
    ExpectKeySizeRule(cipher, {0, -8, 100, 136}, {8, 128});
}
