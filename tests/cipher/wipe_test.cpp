// Key material does not outlive its use: Burn leaves nothing of the key in a cipher, and
// SHA-1's Final leaves nothing of the message in the hash.
#include <gtest/gtest.h>

#include <algorithm>

#include "cipher/blowfish.h"
#include "cipher/cast128.h"
#include "cipher/cast256.h"
#include "cipher/gost.h"
#include "cipher/idea.h"
#include "cipher/misty1.h"
#include "cipher/rijndael.h"
#include "cipher/sha1.h"
#include "cipher/twofish.h"
#include "support/testdata.h"

namespace {
template <class T>
Bytes BytesOf(const T& object)
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(&object);
    return Bytes(p, p + sizeof object);
}

Bytes Counting(std::size_t n, std::uint8_t from)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(from + i * 37);
    return b;
}

template <class Cipher>
class CipherWiping : public testing::Test {};
using EveryCipherClass = testing::Types<TZC_blowfish, TZC_cast128, TZC_cast256, TZC_gost, TZC_idea, TZC_misty1,
                                        TZC_rijndael, TZC_twofish>;
TYPED_TEST_SUITE(CipherWiping, EveryCipherClass);
}  // namespace

TYPED_TEST(CipherWiping, BurnFillsKeyScheduleIvAndChainingBlockWithOnes)
{
    TypeParam cipher;
    const std::size_t block = static_cast<std::size_t>(cipher.BlockSize() / 8);
    // Every key size, so that a schedule part only some sizes fill is also seen wiped.
    for (int bits = 8; bits <= cipher.MaxKeySize(); bits += 8) {
        const Bytes key = Counting(static_cast<std::size_t>(bits / 8), static_cast<std::uint8_t>(bits));
        cipher.Init(key.data(), bits, nullptr);
        Bytes data = Counting(3 * block + 3, 1);
        cipher.EncryptCBC(data.data(), data.data(), static_cast<int>(data.size()));
        ASSERT_NE(BytesOf(cipher.KeySchedule()), Bytes(sizeof cipher.KeySchedule(), 0xFF)) << bits;

        cipher.Burn();
        EXPECT_EQ(BytesOf(cipher.KeySchedule()), Bytes(sizeof cipher.KeySchedule(), 0xFF)) << bits;
        EXPECT_EQ(Bytes(cipher.IV(), cipher.IV() + block), Bytes(block, 0xFF)) << bits;
        EXPECT_EQ(Bytes(cipher.ChainingBlock(), cipher.ChainingBlock() + block), Bytes(block, 0xFF)) << bits;
    }
}

TEST(HashWiping, FinalLeavesTheWholeStateZero)
{
    for (std::size_t length : {0, 3, 55, 64, 100}) {
        TZC_sha1 sha;
        sha.Init();
        const Bytes message = Counting(length, 0xA1);
        sha.Update(message.data(), static_cast<int>(message.size()));
        std::uint8_t digest[20];
        sha.Final(digest);
        EXPECT_EQ(BytesOf(sha.CurrentState()), Bytes(sizeof(TZC_sha1::State), 0x00)) << length;
    }
}
