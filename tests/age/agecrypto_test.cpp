// The primitives from OpenSSL, as age calls them: known answers for HKDF and scrypt, and the
// payload's chunk sealing.
#include <gtest/gtest.h>

#include <thread>

#include "age/agecrypto.h"
#include "age/payload.h"
#include "common/error.h"
#include "support/testdata.h"

namespace {
Bytes FieldBytes(const VectorRecord& record, const std::string& name)
{
    return record.fields.at(name) == "-" ? Bytes{} : record.bytes(name);
}

Bytes Pattern(std::size_t n, std::uint8_t seed)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 13 + seed);
    return b;
}

const std::array<std::uint8_t, kPayloadNonceBytes> kNonce{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
}  // namespace

TEST(AgeCrypto, HkdfKnownAnswers)
{
    const auto records = ReadVectors("age/hkdf_sha256.txt", "HKDF");
    ASSERT_EQ(records.size(), 3u);
    for (const auto& r : records) {
        const Bytes info = FieldBytes(r, "info");
        const SecretBytes okm = Hkdf(FieldBytes(r, "ikm"), FieldBytes(r, "salt"),
                                     std::string_view(reinterpret_cast<const char*>(info.data()), info.size()),
                                     std::stoul(r.fields.at("len")));
        EXPECT_EQ(Bytes(okm.begin(), okm.end()), r.bytes("okm")) << r.fields.at("name");
    }
}

TEST(AgeCrypto, ScryptKnownAnswers)
{
    const auto records = ReadVectors("age/scrypt.txt", "SCRYPT");
    ASSERT_EQ(records.size(), 2u);
    for (const auto& r : records) {
        const SecretBytes key = Scrypt(FieldBytes(r, "pass"), FieldBytes(r, "salt"), std::stoi(r.fields.at("logn")));
        const Bytes published = r.bytes("dk");
        EXPECT_EQ(Bytes(key.begin(), key.end()), Bytes(published.begin(), published.begin() + 32))
            << r.fields.at("name");
    }
    EXPECT_THROW(Scrypt({}, {}, 0), ZorvantaError);
    EXPECT_THROW(Scrypt({}, {}, 41), ZorvantaError);
}

TEST(AgeCrypto, EveryChangeToASealedChunkIsCaught)
{
    const SecretBytes fileKey(16, 0x42);
    const PayloadCipher cipher(fileKey, kNonce);
    for (const std::size_t n : {std::size_t{0}, std::size_t{1}, kPayloadChunkBytes}) {
        const Bytes plain = Pattern(n, 7);
        Bytes sealed(n + kTagBytes);
        cipher.Seal(5, false, plain.data(), n, sealed.data());
        Bytes opened(n);
        ASSERT_TRUE(cipher.Open(5, false, sealed.data(), sealed.size(), opened.data()));
        EXPECT_EQ(opened, plain);

        EXPECT_FALSE(cipher.Open(6, false, sealed.data(), sealed.size(), opened.data())) << "counter " << n;
        EXPECT_FALSE(cipher.Open(5, true, sealed.data(), sealed.size(), opened.data())) << "last flag " << n;
        EXPECT_FALSE(cipher.Open(5 + (std::uint64_t{1} << 40), false, sealed.data(), sealed.size(), opened.data()))
            << "high counter bytes " << n;
        const PayloadCipher otherNonce(fileKey, std::array<std::uint8_t, kPayloadNonceBytes>{});
        EXPECT_FALSE(otherNonce.Open(5, false, sealed.data(), sealed.size(), opened.data())) << "nonce " << n;
        for (const std::size_t at : {std::size_t{0}, n / 2, sealed.size() - 1}) {
            Bytes changed = sealed;
            changed[at] ^= 0x01;
            EXPECT_FALSE(cipher.Open(5, false, changed.data(), changed.size(), opened.data())) << at << " of " << n;
        }
        EXPECT_FALSE(cipher.Open(5, false, sealed.data(), sealed.size() - 1, opened.data())) << "cut " << n;
    }
    Bytes tooShort(kTagBytes - 1), out(1);
    EXPECT_FALSE(cipher.Open(0, true, tooShort.data(), tooShort.size(), out.data()));
}

TEST(AgeCrypto, ChunksSealedOnSeveralThreadsAtOnceMatchOneThread)
{
    const PayloadCipher cipher(SecretBytes(16, 0x17), kNonce);
    constexpr int kThreads = 4, kChunks = 16;
    std::vector<Bytes> plain, expected;
    for (int i = 0; i < kChunks; ++i) {
        plain.push_back(Pattern(kPayloadChunkBytes, static_cast<std::uint8_t>(i)));
        expected.emplace_back(kPayloadChunkBytes + kTagBytes);
        cipher.Seal(i, i + 1 == kChunks, plain[i].data(), kPayloadChunkBytes, expected[i].data());
    }
    std::vector<Bytes> sealed(kChunks, Bytes(kPayloadChunkBytes + kTagBytes));
    std::vector<Bytes> opened(kChunks, Bytes(kPayloadChunkBytes));
    std::vector<int> openedOk(kChunks, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                for (int i = t; i < kChunks; i += kThreads) {
                    const bool last = i + 1 == kChunks;
                    cipher.Seal(i, last, plain[i].data(), kPayloadChunkBytes, sealed[i].data());
                    openedOk[i] = cipher.Open(i, last, expected[i].data(), expected[i].size(), opened[i].data());
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int i = 0; i < kChunks; ++i) {
        EXPECT_EQ(sealed[i], expected[i]) << i;
        EXPECT_TRUE(openedOk[i]) << i;
        EXPECT_EQ(opened[i], plain[i]) << i;
    }
}
