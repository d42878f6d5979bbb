#include <gtest/gtest.h>

#include <string>

#include "cipher/sha1.h"
#include "support/testdata.h"

namespace {
std::string Digest(const Bytes& message)
{
    TZC_sha1 sha;
    sha.Init();
    sha.Update(message.data(), static_cast<int>(message.size()));
    std::uint8_t digest[20];
    sha.Final(digest);
    return ToHex(digest, 20);
}
}  // namespace

TEST(Sha1, PublishedAndBoundaryDigests)
{
    const auto records = ReadVectors("sha1.txt", "HASH");
    ASSERT_GE(records.size(), 13u);
    for (const auto& r : records) EXPECT_EQ(Digest(r.bytes("msg")), r.fields.at("md")) << "line " << r.line;
}

TEST(Sha1, MillionRepeatedBytes)
{
    for (const auto& r : ReadVectors("sha1.txt", "HASHREP")) {
        const Bytes message(std::stoul(r.fields.at("count")), r.bytes("byte").at(0));
        EXPECT_EQ(Digest(message), r.fields.at("md"));
    }
}

TEST(Sha1, EverySplitOfOneMessageEqualsOneCall)
{
    Bytes message(200);
    for (std::size_t i = 0; i < message.size(); ++i) message[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const std::string whole = Digest(message);
    for (std::size_t a = 0; a <= message.size(); a += 13) {
        for (std::size_t b = a; b <= message.size(); b += 29) {
            TZC_sha1 sha;
            sha.Init();
            sha.Update(message.data(), static_cast<int>(a));
            sha.Update(message.data() + a, static_cast<int>(b - a));
            sha.Update(message.data() + b, static_cast<int>(message.size() - b));
            std::uint8_t digest[20];
            sha.Final(digest);
            ASSERT_EQ(ToHex(digest, 20), whole) << a << " " << b;
        }
    }
}

TEST(Sha1, UpdateStrFeedsTheBytesOfTheText)
{
    TZC_sha1 sha;
    sha.Init();
    sha.UpdateStr("abc");
    std::uint8_t digest[20];
    sha.Final(digest);
    EXPECT_EQ(ToHex(digest, 20), "A9993E364706816ABA3E25717850C26C9CD0D89D");
}

TEST(Sha1, StateRulesAndWipe)
{
    TZC_sha1 sha;
    EXPECT_EQ(sha.Algorithm(), "SHA1");
    EXPECT_EQ(sha.HashSize(), 160);
    std::uint8_t digest[20] = {};
    const auto expectNotInitialized = [&] {
        try {
            sha.Update("x", 1);
            FAIL() << "Update raised nothing";
        } catch (const ZorvantaError& e) {
            EXPECT_STREQ(e.what(), "SHA1: Not initialized");
        }
        EXPECT_THROW(sha.Final(digest), ZorvantaError);
    };
    expectNotInitialized();  // fresh
    sha.Init();
    sha.Update("abc", 3);
    sha.Final(digest);
    expectNotInitialized();  // after Final
    for (std::uint32_t h : sha.CurrentState().h) EXPECT_EQ(h, 0u);
    for (std::uint8_t b : sha.CurrentState().buffer) EXPECT_EQ(b, 0);
    EXPECT_EQ(sha.CurrentState().lengthLow, 0u);
}
