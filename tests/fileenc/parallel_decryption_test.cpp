// Decryption split across threads gives exactly the bytes of one serial CBC pass, for every
// cipher and for sizes around every boundary: a block, a chunk, a segment, the file's end.
#include <gtest/gtest.h>

#include "cipher/registry.h"
#include "cipher/sha1.h"
#include "fileenc/cbcdecryption.h"
#include "fileenc/fileop.h"
#include "support/tempdir.h"

namespace {
constexpr std::size_t kChunk = 256;  // small, so that every size below spans several chunks
const SecretBytes kPassphrase{'s', 'p', 'l', 'i', 't'};

Bytes Pattern(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 29 + (i >> 7) + 3);
    return b;
}

// Every size where something changes: the block (b), the chunk and several chunks.
std::vector<std::size_t> Sizes(std::size_t b)
{
    return {0, 1, b - 1, b, b + 1, 3 * b + 5, kChunk - 1, kChunk, kChunk + 1, 2 * kChunk, 2 * kChunk + b,
            5 * kChunk, 5 * kChunk + 3, 9 * kChunk + b - 1};
}

// Initialises the cipher the way the file procedure does; returns the check block.
Bytes InitAsFile(TZC_blockcipher& cipher)
{
    Bytes checkBlock(32, 0xFF);
    TZC_sha1 sha;
    sha.Init();
    sha.Update(kPassphrase.data(), static_cast<int>(kPassphrase.size()));
    sha.Final(checkBlock.data());
    cipher.Init(checkBlock.data(), std::min(cipher.MaxKeySize(), 256), nullptr);
    cipher.EncryptCBC(checkBlock.data(), checkBlock.data(), 32);
    cipher.Reset();
    return checkBlock;
}

// The file the procedure must produce: the check block, then one CBC pass over the body.
Bytes ReferenceEncryption(TZC_blockcipher& cipher, const Bytes& plain)
{
    Bytes file = InitAsFile(cipher);
    Bytes body = plain;
    cipher.EncryptCBC(body.data(), body.data(), static_cast<int>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    cipher.Burn();
    return file;
}
}  // namespace

TEST(ParallelDecryption, ChunksSplitAcrossThreadsEqualOneSerialPass)
{
    for (const CipherEntry& entry : AllCiphers()) {
        const auto cipher = entry.create();
        const std::size_t b = static_cast<std::size_t>(cipher->BlockSize() / 8);
        for (const std::size_t size : Sizes(b)) {
            InitAsFile(*cipher);
            Bytes encrypted = Pattern(size);
            cipher->EncryptCBC(encrypted.data(), encrypted.data(), static_cast<int>(size));
            cipher->Reset();
            Bytes serial = encrypted;
            cipher->DecryptCBC(serial.data(), serial.data(), static_cast<int>(size));
            ASSERT_EQ(serial, Pattern(size)) << entry.algorithm;
            cipher->Reset();
            // 1 thread; 2 and 3 with segments down to one block; 4 with segments of a quarter chunk.
            const std::pair<std::size_t, std::size_t> splits[] = {{1, 0}, {2, b}, {3, 1}, {4, kChunk / 4}};
            for (const auto& [threads, minSegment] : splits) {
                SCOPED_TRACE(testing::Message() << entry.algorithm << ", size " << size << ", threads " << threads);
                CbcDecryption decryption(*cipher, threads, minSegment);
                Bytes parallel = encrypted;
                for (std::size_t at = 0; at < size || at == 0; at += kChunk)
                    decryption(parallel.data() + at, std::min(kChunk, size - at));
                EXPECT_EQ(parallel, serial);
            }
            cipher->Burn();
        }
    }
}

TEST(ParallelDecryption, FilesOfEverySizeRoundTripThroughTheThreadedPath)
{
    TempDir dir;
    for (const CipherEntry& entry : AllCiphers()) {
        const auto cipher = entry.create();
        for (const std::size_t size : Sizes(static_cast<std::size_t>(cipher->BlockSize() / 8))) {
            SCOPED_TRACE(testing::Message() << entry.algorithm << ", size " << size);
            const Bytes plain = Pattern(size);
            WriteFile(dir.path("plain"), plain);
            const FileOpOptions options{.chunkBytes = kChunk, .cipherThreads = 3};
            ASSERT_EQ(EncryptFile(dir.path("plain"), dir.path("enc"), kPassphrase, *cipher, options),
                      FileOpResult::Encrypted);
            EXPECT_EQ(ReadFile(dir.path("enc")), ReferenceEncryption(*cipher, plain));
            ASSERT_EQ(DecryptFile(dir.path("enc"), dir.path("dec"), kPassphrase, *cipher, options),
                      FileOpResult::Decrypted);
            EXPECT_EQ(ReadFile(dir.path("dec")), plain);
            EXPECT_FALSE(cipher->Initialized());
        }
    }
}
