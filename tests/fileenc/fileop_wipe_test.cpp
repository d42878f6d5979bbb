// The file procedure wipes its copies of key material and data before it returns, on the
// success and the refusal paths, in the optimised build (see wipe_observer.h).
#include <gtest/gtest.h>

#include "cipher/sha1.h"
#include "cipher/twofish.h"
#include "fileenc/fileop.h"
#include "platform/ioerror.h"
#include "fileenc/wipe_observer.h"
#include "support/tempdir.h"

namespace {
Bytes KeyBlock(const SecretBytes& passphrase)
{
    Bytes keyBlock(32, 0xFF);
    TZC_sha1 sha;
    sha.Init();
    sha.Update(passphrase.data(), static_cast<int>(passphrase.size()));
    sha.Final(keyBlock.data());
    return keyBlock;
}

Bytes Slice(const Bytes& b, std::size_t from, std::size_t n)
{
    return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + n));
}
}  // namespace

TEST(FileProcedureWiping, KeyBlockCheckBlocksAndChunkBufferAreWiped)
{
    TempDir dir;
    Bytes plain(2 * kFileChunkBytes + 1000);
    for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<std::uint8_t>(i * 5 + 1);
    WriteFile(dir.path("plain"), plain);
    const SecretBytes passphrase{'w', 'i', 'p', 'e', ' ', 'm', 'e'};
    const Bytes keyBlock = KeyBlock(passphrase);
    TZC_twofish cipher;

    const auto encrypting = WipesDuring([&] { EncryptFile(dir.path("plain"), dir.path("enc"), passphrase, cipher); });
    const Bytes encrypted = ReadFile(dir.path("enc"));
    const Bytes checkBlock = Slice(encrypted, 0, 32);
    EXPECT_TRUE(Wiped(encrypting, keyBlock, 32));
    EXPECT_TRUE(Wiped(encrypting, checkBlock, 32));
    // The chunk buffer still holds the last, partial chunk when it is wiped.
    EXPECT_TRUE(Wiped(encrypting, Slice(encrypted, encrypted.size() - 1000, 1000), kFileChunkBytes));

    const auto decrypting = WipesDuring([&] { DecryptFile(dir.path("enc"), dir.path("dec"), passphrase, cipher); });
    ASSERT_EQ(ReadFile(dir.path("dec")), plain);
    EXPECT_TRUE(Wiped(decrypting, keyBlock, 32));
    EXPECT_TRUE(Wiped(decrypting, Slice(plain, plain.size() - 1000, 1000), kFileChunkBytes));

    // Refused: the key block of the wrong passphrase is wiped as well.
    const SecretBytes wrong{'n', 'o'};
    const auto refusing = WipesDuring([&] {
        EXPECT_EQ(DecryptFile(dir.path("enc"), dir.path("dec2"), wrong, cipher), FileOpResult::WrongPassphrase);
    });
    EXPECT_TRUE(Wiped(refusing, KeyBlock(wrong), 32));
    EXPECT_TRUE(Wiped(refusing, checkBlock, 32));  // the stored one
}
