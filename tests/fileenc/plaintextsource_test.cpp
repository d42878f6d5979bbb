// A legacy file's plaintext handed out in memory, read in pieces of any size, is exactly what
// the file procedure decrypts to disk: for every cipher, bodies around the block and chunk
// boundaries, and decryption on one thread or shared by several.
#include <gtest/gtest.h>

#include "cipher/registry.h"
#include "fileenc/checkblock.h"
#include "fileenc/fileop.h"
#include "fileenc/plaintextsource.h"
#include "support/tempdir.h"

namespace {
const SecretBytes kPassphrase{'s', 'o', 'u', 'r', 'c', 'e'};

Bytes Pattern(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 31 + (i >> 9) + 5);
    return b;
}

// Reads source to its end in pieces of piece bytes; every piece but the last must come whole.
Bytes ReadAll(ByteSource& source, std::size_t piece)
{
    Bytes all, buffer(piece);
    for (;;) {
        const std::size_t read = source.Read(buffer.data(), piece);
        all.insert(all.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(read));
        if (read < piece) break;
    }
    EXPECT_EQ(source.Read(buffer.data(), piece), 0u) << "a read after the end";
    return all;
}
}  // namespace

TEST(LegacyPlaintext, GivesWhatDecryptFileGivesInPiecesOfAnySize)
{
    TempDir dir;
    for (const CipherEntry& entry : AllCiphers()) {
        const std::size_t b = static_cast<std::size_t>(entry.create()->BlockSize() / 8);
        const std::size_t sizes[] = {0, 1, b - 1, b, b + 1, 3 * kFileChunkBytes + 2 * b + 3};
        for (const std::size_t size : sizes) {
            const Bytes plain = Pattern(size);
            WriteFile(dir.path("plain"), plain);
            ASSERT_EQ(EncryptFile(dir.path("plain"), dir.path("enc"), kPassphrase, *entry.create()),
                      FileOpResult::Encrypted);
            ASSERT_EQ(DecryptFile(dir.path("enc"), dir.path("dec"), kPassphrase, *entry.create()),
                      FileOpResult::Decrypted);
            const Bytes decrypted = ReadFile(dir.path("dec"));
            ASSERT_EQ(decrypted, plain) << entry.algorithm << ", " << size << " bytes";
            const Bytes file = ReadFile(dir.path("enc"));
            const std::span body = std::span(file).subspan(kCheckBlockBytes);
            const std::size_t pieces[] = {1, 7, b, 4097, kFileChunkBytes};
            for (const std::size_t piece : pieces) {
                for (const std::size_t threads : {1, 3}) {
                    SCOPED_TRACE(testing::Message() << entry.algorithm << ", " << size << " bytes in pieces of "
                                                    << piece << " on " << threads << " threads");
                    const auto cipher = entry.create();
                    Bytes checkBlock(kCheckBlockBytes);
                    ComputeCheckBlock(kPassphrase, *cipher, checkBlock.data());
                    MemorySource source(body);
                    LegacyPlaintext plaintext(source, *cipher, threads);
                    EXPECT_EQ(ReadAll(plaintext, piece), decrypted);
                    EXPECT_EQ(plaintext.Position(), body.size());
                }
            }
        }
    }
}
