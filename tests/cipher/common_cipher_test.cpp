// Behaviour every block cipher of the library shares: state rules, key-size errors, IV rule and
// the modes. Runs once per registered cipher.
#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "cipher/registry.h"
#include "support/testdata.h"

namespace {
class EveryCipher : public testing::TestWithParam<CipherEntry> {
protected:
    void SetUp() override
    {
        cipher = GetParam().create();
        block = static_cast<std::size_t>(cipher->BlockSize() / 8);
        key.resize(static_cast<std::size_t>(cipher->MaxKeySize() / 8));
        std::iota(key.begin(), key.end(), std::uint8_t{0x30});
    }

    void InitFullKey(const void* iv = nullptr) { cipher->Init(key.data(), cipher->MaxKeySize(), iv); }

    Bytes Random(std::size_t n)
    {
        Bytes b(n);
        for (auto& x : b) x = static_cast<std::uint8_t>(rng());
        return b;
    }

    std::string Message(const std::string& what) const { return cipher->Algorithm() + ": " + what; }

    std::unique_ptr<TZC_blockcipher> cipher;
    std::size_t block = 0;
    Bytes key;
    std::mt19937 rng{12345};
};

std::string NameOf(const testing::TestParamInfo<CipherEntry>& info)
{
    return std::string(info.param.algorithm);
}

using ModeCall = void (TZC_blockcipher::*)(const void*, void*, int);
}  // namespace

TEST_P(EveryCipher, ModesRefuseBeforeInitAndAfterBurnLeavingTheOutputUntouched)
{
    Bytes in(64, 0x11), out(64, 0xA5);
    const auto expectRefused = [&] {
        for (ModeCall call : {&TZC_blockcipher::EncryptCBC, &TZC_blockcipher::DecryptCBC,
                              &TZC_blockcipher::EncryptCFB8bit, &TZC_blockcipher::DecryptCFB8bit}) {
            try {
                ((*cipher).*call)(in.data(), out.data(), 64);
                ADD_FAILURE() << "a mode ran uninitialised";
            } catch (const ZorvantaError& e) {
                EXPECT_EQ(e.what(), Message("Not initialized"));
            }
        }
        EXPECT_THROW(cipher->EncryptECB(in.data(), out.data()), ZorvantaError);
        EXPECT_THROW(cipher->DecryptECB(in.data(), out.data()), ZorvantaError);
        EXPECT_EQ(out, Bytes(64, 0xA5));
    };
    expectRefused();
    InitFullKey();
    cipher->Burn();
    expectRefused();
}

TEST_P(EveryCipher, InvalidKeySizesAreRefusedAndLeaveTheCipherBurned)
{
    const int max = cipher->MaxKeySize();
    for (int size : {0, -8, 4, 100, max + 8}) {
        InitFullKey();
        try {
            cipher->Init(key.data(), size, nullptr);
            ADD_FAILURE() << size << " accepted";
        } catch (const ZorvantaError& e) {
            EXPECT_EQ(e.what(), Message("Invalid key size - " + std::to_string(size)));
        }
        EXPECT_FALSE(cipher->Initialized()) << size;
    }
    for (int size : {8, max}) {
        EXPECT_NO_THROW(cipher->Init(key.data(), size, nullptr));
        EXPECT_TRUE(cipher->Initialized());
    }
}

TEST_P(EveryCipher, BurnAndConstructionLeaveIvAndChainingBlockAllOnes)
{
    const Bytes ones(block, 0xFF);
    EXPECT_EQ(Bytes(cipher->IV(), cipher->IV() + block), ones);
    InitFullKey();
    cipher->Burn();
    EXPECT_EQ(Bytes(cipher->IV(), cipher->IV() + block), ones);
    EXPECT_EQ(Bytes(cipher->ChainingBlock(), cipher->ChainingBlock() + block), ones);
    cipher->Reset();  // allowed in any state
    EXPECT_EQ(Bytes(cipher->ChainingBlock(), cipher->ChainingBlock() + block), ones);
}

TEST_P(EveryCipher, InitWithoutIvEncryptsAllOnesAndWithIvCopiesIt)
{
    InitFullKey();
    Bytes expected(block);
    const Bytes ones(block, 0xFF);
    cipher->EncryptECB(ones.data(), expected.data());
    EXPECT_EQ(Bytes(cipher->IV(), cipher->IV() + block), expected);
    EXPECT_EQ(Bytes(cipher->ChainingBlock(), cipher->ChainingBlock() + block), expected);

    // One zero block in CBC from that IV is E(IV).
    Bytes zero(block, 0), eOfIv(block);
    cipher->EncryptECB(expected.data(), eOfIv.data());
    cipher->EncryptCBC(zero.data(), zero.data(), static_cast<int>(block));
    EXPECT_EQ(zero, eOfIv);

    const Bytes iv = Random(block);
    InitFullKey(iv.data());
    EXPECT_EQ(Bytes(cipher->IV(), cipher->IV() + block), iv);
}

TEST_P(EveryCipher, ReInitReplacesTheKey)
{
    const Bytes plain = Random(block);
    Bytes first(block), second(block), again(block);
    InitFullKey();
    cipher->EncryptECB(plain.data(), first.data());
    key[0] ^= 1;
    InitFullKey();
    cipher->EncryptECB(plain.data(), second.data());
    EXPECT_NE(first, second);
    key[0] ^= 1;
    InitFullKey();
    cipher->EncryptECB(plain.data(), again.data());
    EXPECT_EQ(first, again);
}

TEST_P(EveryCipher, InPlaceEqualsOutOfPlace)
{
    InitFullKey();
    const Bytes plain = Random(5 * block + 3);
    for (ModeCall call : {&TZC_blockcipher::EncryptCBC, &TZC_blockcipher::DecryptCBC,
                          &TZC_blockcipher::EncryptCFB8bit, &TZC_blockcipher::DecryptCFB8bit}) {
        Bytes out(plain.size()), inPlace = plain;
        cipher->Reset();
        ((*cipher).*call)(plain.data(), out.data(), static_cast<int>(plain.size()));
        cipher->Reset();
        ((*cipher).*call)(inPlace.data(), inPlace.data(), static_cast<int>(inPlace.size()));
        EXPECT_EQ(out, inPlace);
    }
    Bytes ecb = Random(block), out(block);
    cipher->EncryptECB(ecb.data(), out.data());
    cipher->EncryptECB(ecb.data(), ecb.data());
    EXPECT_EQ(ecb, out);
    cipher->DecryptECB(ecb.data(), ecb.data());
    cipher->DecryptECB(out.data(), out.data());
    EXPECT_EQ(ecb, out);
}

TEST_P(EveryCipher, CbcAndCfbRoundTripEveryLengthInPlace)
{
    InitFullKey();
    // Long enough to cover the multi-block decryption paths as well.
    for (int length = 0; length <= 40 + 32 * static_cast<int>(block); ++length) {
        if (length > 40 && length % 7 != 0) continue;
        const Bytes plain = Random(static_cast<std::size_t>(length));
        for (auto [encrypt, decrypt] : {std::pair{&TZC_blockcipher::EncryptCBC, &TZC_blockcipher::DecryptCBC},
                                        std::pair{&TZC_blockcipher::EncryptCFB8bit, &TZC_blockcipher::DecryptCFB8bit}}) {
            Bytes data = plain;
            cipher->Reset();
            ((*cipher).*encrypt)(data.data(), data.data(), length);
            if (length >= 8) {
                EXPECT_NE(data, plain);
            }
            cipher->Reset();
            ((*cipher).*decrypt)(data.data(), data.data(), length);
            ASSERT_EQ(data, plain) << "length " << length;
        }
    }
}

TEST_P(EveryCipher, CbcMatchesTheBlockDefinitionIncludingThePartialBlock)
{
    InitFullKey();
    const Bytes plain = Random(3 * block + 5);
    // Reference: C(i) = E(P(i) ^ C(i-1)); the tail is P ^ E(C(last)).
    Bytes expected(plain.size()), chain(cipher->IV(), cipher->IV() + block), t(block);
    for (std::size_t i = 0; i + block <= plain.size(); i += block) {
        for (std::size_t j = 0; j < block; ++j) t[j] = plain[i + j] ^ chain[j];
        cipher->EncryptECB(t.data(), chain.data());
        std::copy(chain.begin(), chain.end(), expected.begin() + static_cast<long>(i));
    }
    cipher->EncryptECB(chain.data(), t.data());
    for (std::size_t j = 0; j < 5; ++j) expected[3 * block + j] = plain[3 * block + j] ^ t[j];

    Bytes data = plain;
    cipher->EncryptCBC(data.data(), data.data(), static_cast<int>(data.size()));
    EXPECT_EQ(data, expected);
    // The partial block left CV on the last full block.
    EXPECT_EQ(Bytes(cipher->ChainingBlock(), cipher->ChainingBlock() + block),
              Bytes(expected.begin() + static_cast<long>(2 * block), expected.begin() + static_cast<long>(3 * block)));
}

TEST_P(EveryCipher, CbcPiecesOfWholeBlocksEqualOneCallButAPartialPieceDoesNot)
{
    InitFullKey();
    const Bytes plain = Random(2 * block);
    Bytes whole = plain, split = plain, partial = plain;
    cipher->Reset();
    cipher->EncryptCBC(whole.data(), whole.data(), static_cast<int>(whole.size()));
    cipher->Reset();
    cipher->EncryptCBC(split.data(), split.data(), static_cast<int>(block));
    cipher->EncryptCBC(split.data() + block, split.data() + block, static_cast<int>(block));
    EXPECT_EQ(split, whole);

    const int first = static_cast<int>(block + block / 2);  // 12 + 4 on a 64-bit cipher
    cipher->Reset();
    cipher->EncryptCBC(partial.data(), partial.data(), first);
    cipher->EncryptCBC(partial.data() + first, partial.data() + first, static_cast<int>(2 * block) - first);
    EXPECT_NE(partial, whole);

    // Fewer bytes than a block: the input XOR E(IV), CV unchanged, so repeating gives the same.
    Bytes shortA = Random(block - 1), shortB = shortA;
    cipher->Reset();
    cipher->EncryptCBC(shortA.data(), shortA.data(), static_cast<int>(shortA.size()));
    cipher->EncryptCBC(shortB.data(), shortB.data(), static_cast<int>(shortB.size()));
    EXPECT_EQ(shortA, shortB);
    EXPECT_EQ(Bytes(cipher->ChainingBlock(), cipher->ChainingBlock() + block), Bytes(cipher->IV(), cipher->IV() + block));

    Bytes none = plain;
    cipher->EncryptCBC(none.data(), none.data(), 0);
    EXPECT_EQ(none, plain);
}

TEST_P(EveryCipher, CfbOfNBytesEqualsNOneByteCalls)
{
    InitFullKey();
    const Bytes plain = Random(3 * block + 1);
    Bytes whole = plain, bytewise = plain;
    cipher->Reset();
    cipher->EncryptCFB8bit(whole.data(), whole.data(), static_cast<int>(whole.size()));
    cipher->Reset();
    for (auto& b : bytewise) cipher->EncryptCFB8bit(&b, &b, 1);
    EXPECT_EQ(whole, bytewise);
}

INSTANTIATE_TEST_SUITE_P(Registry, EveryCipher, testing::ValuesIn(AllCiphers().begin(), AllCiphers().end()), NameOf);
