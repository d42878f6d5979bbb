// No heap block is given back holding the passphrase, any form of it or the key made from it,
// or the plain text: the freed-block scan (support/freedblocks.h) searches every block freed
// during the engine's runs.
#include <gtest/gtest.h>

#include <array>

#include "cipher/sha1.h"
#include "cipher/twofish.h"
#include "fileenc/fileop.h"
#include "fileenc/passphrase.h"
#include "support/freedblocks.h"
#include "support/tempdir.h"

namespace {
// None of these may live in a block on the heap, or its own release would be found.
constexpr char kPassphrase[] = "freed-block scan: Zorvanta passphrase 7Q";
constexpr std::size_t kPassphraseLength = sizeof kPassphrase - 1;
constexpr char kPlainMarker[] = "plain text that must not linger 0123456789";
std::array<char32_t, kPassphraseLength> passphraseAsCodePoints;  // the decoder's form
std::array<std::uint8_t, 20> keyDigest;                         // SHA-1 of the passphrase

const FreedBlockPattern kPatterns[] = {
    {kPassphrase, kPassphraseLength, "the passphrase"},
    {passphraseAsCodePoints.data(), sizeof passphraseAsCodePoints, "the passphrase as code points"},
    {keyDigest.data(), keyDigest.size(), "the key block"},
    {kPlainMarker, sizeof kPlainMarker - 1, "the plain text"},
};
}  // namespace

TEST(FreedBlocks, NeverHoldThePassphraseTheKeyOrThePlainText)
{
    std::copy(kPassphrase, kPassphrase + kPassphraseLength, passphraseAsCodePoints.begin());
    TZC_sha1 sha;
    sha.Init();
    sha.Update(kPassphrase, static_cast<int>(kPassphraseLength));
    sha.Final(keyDigest.data());

    TempDir dir;
    // A small file goes through one buffer, a large one through the threads.
    for (const std::size_t size : {std::size_t{5000}, 3 * kFileChunkBytes + 5}) {
        Bytes plain(size);
        for (std::size_t i = 0; i < size; ++i) plain[i] = static_cast<std::uint8_t>(kPlainMarker[i % (sizeof kPlainMarker - 1)]);
        WriteFile(dir.path("plain"), plain);
        TZC_twofish cipher;
        {
            const FreedBlockScan scan(kPatterns);
            {
                const SecretBytes passphrase = PassphraseBytes(kPassphrase);
                EXPECT_EQ(EncryptFile(dir.path("plain"), dir.path("enc"), passphrase, cipher),
                          FileOpResult::Encrypted);
                EXPECT_EQ(DecryptFile(dir.path("enc"), dir.path("dec"), passphrase, cipher),
                          FileOpResult::Decrypted);
            }
            EXPECT_EQ(scan.Found(), "") << "size " << size;
        }
        EXPECT_EQ(ReadFile(dir.path("dec")), plain);
    }
}
