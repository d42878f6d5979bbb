// The file procedure with every cipher of the library.
#include <gtest/gtest.h>

#include "cipher/registry.h"
#include "fileenc/fileop.h"
#include "support/tempdir.h"

namespace {
const SecretBytes kPassphrase{'o', 'p', 'e', 'n', ' ', 's', 'e', 's', 'a', 'm', 'e'};
}

TEST(EveryCipherFile, RoundTripsAndIsRefusedByEveryOtherCipher)
{
    TempDir dir;
    Bytes plain(20000);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i * 13 + 7);
    WriteFile(dir.path("plain"), plain);
    for (const CipherEntry& encrypting : AllCiphers()) {
        const auto cipher = encrypting.create();
        ASSERT_EQ(EncryptFile(dir.path("plain"), dir.path("enc"), kPassphrase, *cipher), FileOpResult::Encrypted);
        EXPECT_EQ(ReadFile(dir.path("enc")).size(), plain.size() + 32);
        for (const CipherEntry& decrypting : AllCiphers()) {
            const auto other = decrypting.create();
            const FileOpResult result = DecryptFile(dir.path("enc"), dir.path("dec"), kPassphrase, *other);
            EXPECT_FALSE(other->Initialized());
            if (decrypting.algorithm == encrypting.algorithm) {
                ASSERT_EQ(result, FileOpResult::Decrypted) << encrypting.algorithm;
                EXPECT_EQ(ReadFile(dir.path("dec")), plain) << encrypting.algorithm;
                std::filesystem::remove(dir.path("dec"));
            } else {
                EXPECT_EQ(result, FileOpResult::WrongPassphrase) << encrypting.algorithm << " by " << decrypting.algorithm;
            }
        }
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"enc", "plain"}));
}

TEST(EveryCipherFile, RijndaelEmptyPassphraseValues)
{
    TempDir dir;
    WriteFile(dir.path("empty"), {});
    WriteFile(dir.path("abcde"), {'a', 'b', 'c', 'd', 'e'});
    const auto aes = CreateCipher("Rijndael");
    const std::string check = "853BCF134CF319A9D41C0844CA17336F3BB074241703EAFA1C98C00BFC4C8236";
    ASSERT_EQ(EncryptFile(dir.path("empty"), dir.path("e1"), {}, *aes), FileOpResult::Encrypted);
    EXPECT_EQ(ToHex(ReadFile(dir.path("e1"))), check);
    ASSERT_EQ(EncryptFile(dir.path("abcde"), dir.path("e2"), {}, *aes), FileOpResult::Encrypted);
    EXPECT_EQ(ToHex(ReadFile(dir.path("e2"))), check + "958A3D9F38");

    // The IV: E(FF..FF) under SHA-1("") followed by twelve 0xFF bytes.
    Bytes keyBlock = FromHex("DA39A3EE5E6B4B0D3255BFEF95601890AFD80709");
    keyBlock.resize(32, 0xFF);
    aes->Init(keyBlock.data(), 256, nullptr);
    EXPECT_EQ(ToHex(aes->IV(), 16), "A28D89EF8755C308C1ECEFE56C032423");
}
