// Our ciphers against Botan 2 as an independent oracle: random keys of every size both accept,
// random blocks, and CBC runs rebuilt from Botan's raw block transform.
#include <gtest/gtest.h>

#include <botan/block_cipher.h>

#include <algorithm>
#include <cctype>
#include <random>
#include <vector>

#include "cipher/registry.h"
#include "support/testdata.h"

namespace {
// Maps a block between our byte order and Botan's (the same map both ways).
using BlockOrder = void (*)(Bytes&);

void SameOrder(Bytes&) {}

// MISTY1: we read each 4-byte half little-endian, the RFC and Botan big-endian.
void ReverseEachHalf(Bytes& b)
{
    std::reverse(b.begin(), b.begin() + 4);
    std::reverse(b.begin() + 4, b.end());
}

struct OracleRow {
    std::string_view algorithm;
    const char* botanName;
    std::vector<int> keyBytes;
    BlockOrder toBotan = SameOrder;
};

std::vector<int> Range(int from, int to)
{
    std::vector<int> sizes;
    for (int n = from; n <= to; ++n) sizes.push_back(n);
    return sizes;
}

const OracleRow kRows[] = {
    {"Blowfish", "Blowfish", Range(1, 56)},
    {"Cast128", "CAST-128", Range(11, 16)},
    {"Cast256", "CAST-256", {16, 20, 24, 28, 32}},
    {"Gost", "GOST-28147-89(R3411_94_TestParam)", {32}},
    {"IDEA", "IDEA", {16}},
    {"Misty1", "MISTY1", {16}, ReverseEachHalf},
    {"Rijndael", "AES-128", {16}},
    {"Rijndael", "AES-192", {24}},
    {"Rijndael", "AES-256", {32}},
    {"Twofish", "Twofish", {16, 24, 32}},
};

std::string NameOf(const testing::TestParamInfo<OracleRow>& info)
{
    std::string name(info.param.botanName);
    std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
    return name;
}

class AgainstBotan : public testing::TestWithParam<OracleRow> {
protected:
    Bytes Random(std::size_t n)
    {
        Bytes b(n);
        for (auto& x : b) x = static_cast<std::uint8_t>(rng());
        return b;
    }

    std::mt19937 rng{2024};
};
}  // namespace

TEST_P(AgainstBotan, RandomKeysBlocksAndCbcRuns)
{
    const OracleRow& row = GetParam();
    auto ours = CreateCipher(row.algorithm);
    ASSERT_TRUE(ours) << "not registered";
    auto botan = Botan::BlockCipher::create_or_throw(row.botanName);
    const std::size_t block = botan->block_size();
    ASSERT_EQ(static_cast<int>(block * 8), ours->BlockSize());

    for (int keyBytes : row.keyBytes) {
        for (int trial = 0; trial < 4; ++trial) {
            const Bytes key = Random(static_cast<std::size_t>(keyBytes));
            ours->Init(key.data(), keyBytes * 8, nullptr);
            botan->set_key(key.data(), key.size());

            Bytes plain = Random(block), mine(block), theirs = plain;
            ours->EncryptECB(plain.data(), mine.data());
            row.toBotan(theirs);
            botan->encrypt(theirs.data());
            row.toBotan(theirs);
            ASSERT_EQ(ToHex(mine), ToHex(theirs)) << "key " << ToHex(key);
            ours->DecryptECB(mine.data(), mine.data());
            ASSERT_EQ(mine, plain);

            // CBC over several whole blocks from our IV, chained by hand through Botan.
            Bytes data = Random(block * 9), expected = data;
            Bytes chain(ours->IV(), ours->IV() + block);
            for (std::size_t i = 0; i < data.size(); i += block) {
                Bytes t(block);
                for (std::size_t j = 0; j < block; ++j) t[j] = expected[i + j] ^ chain[j];
                row.toBotan(t);
                botan->encrypt(t.data());
                row.toBotan(t);
                std::copy(t.begin(), t.end(), expected.begin() + static_cast<long>(i));
                chain = t;
            }
            const Bytes plainRun = data;
            ours->EncryptCBC(data.data(), data.data(), static_cast<int>(data.size()));
            ASSERT_EQ(ToHex(data), ToHex(expected));
            ours->Reset();
            ours->DecryptCBC(data.data(), data.data(), static_cast<int>(data.size()));
            ASSERT_EQ(data, plainRun);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Oracle, AgainstBotan, testing::ValuesIn(kRows), NameOf);
