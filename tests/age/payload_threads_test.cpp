// The engine seals and opens batches of payload chunks on one thread or several, and moves a
// regular file into a new one in batches read and written at their places, a stream in order.
// Every way gives the same format: every file opens, as a file and as a stream, with either
// thread count to the same bytes, and chunk by chunk in one serial pass, at every size around
// a chunk's and a batch's end.
#include <gtest/gtest.h>

#include "age/agefile.h"
#include "agefile.h"
#include "pipeline/bytestream.h"

namespace {
constexpr std::size_t kChunk = kPayloadChunkBytes;
constexpr std::size_t kBatch = 3 * kChunk;  // so that a file spans many batches
const std::size_t kSizes[] = {0,          1,          kChunk - 1, kChunk,         kChunk + 1,         kBatch - 1,
                              kBatch,     kBatch + 1, 2 * kBatch, 2 * kBatch + 1, 3 * kBatch + kChunk, 10 * kChunk + 7};
const std::size_t kThreads[] = {1, 3};

// The header, the nonce, then each chunk with its tag; only an empty file has an empty chunk.
std::size_t FileSize(std::size_t headerBytes, std::size_t size)
{
    const std::size_t chunks = std::max<std::size_t>(1, (size + kChunk - 1) / kChunk);
    return headerBytes + kPayloadNonceBytes + size + chunks * kTagBytes;
}
}  // namespace

TEST(PayloadThreads, FilesOfEitherThreadCountOpenWithEither)
{
    TempDir dir;
    AgeProtection protection;
    protection.recipients.push_back(ParseRecipient(PrintedRecipient("key1.txt")));
    Unlocking unlocking;
    unlocking.identities.push_back(StoredIdentity("key1.txt"));
    for (const std::size_t size : kSizes) {
        const Bytes plain = Pattern(size);
        WriteFile(dir.path("plain"), plain);
        for (const std::size_t sealing : kThreads) {
            SCOPED_TRACE(testing::Message() << "size " << size << ", sealed on " << sealing);
            const FileOpOptions sealOptions{.chunkBytes = kBatch, .cipherThreads = sealing};
            ASSERT_EQ(EncryptAgeFile(dir.path("plain"), dir.path("file"), protection, sealOptions),
                      FileOpResult::Encrypted);
            const Bytes file = ReadFile(dir.path("file"));
            EXPECT_EQ(file.size(), FileSize(FindHeaderEnd(file).value(), size));
            EXPECT_EQ(DecryptInMemory(file, unlocking), plain);
            for (const std::size_t opening : kThreads) {
                const FileOpOptions openOptions{.chunkBytes = kBatch, .cipherThreads = opening};
                ASSERT_EQ(DecryptAgeFile(dir.path("file"), dir.path("out"), unlocking, openOptions),
                          FileOpResult::Decrypted) << "opened on " << opening;
                EXPECT_EQ(ReadFile(dir.path("out")), plain) << "opened on " << opening;
                std::filesystem::remove(dir.path("out"));

                MemorySource stream(file);
                SecretSink opened;
                ASSERT_TRUE(OpenAgeStream(stream, opened, &unlocking, nullptr, file.size(), openOptions))
                    << "opened as a stream on " << opening;
                EXPECT_EQ(Bytes(opened.bytes.begin(), opened.bytes.end()), plain) << "opened as a stream on " << opening;
            }
            std::filesystem::remove(dir.path("file"));

            MemorySource stream(plain);
            SecretSink streamed;
            ASSERT_TRUE(SealAgeStream(stream, streamed, protection, size, sealOptions)) << "as a stream";
            const Bytes streamedFile(streamed.bytes.begin(), streamed.bytes.end());
            EXPECT_EQ(streamedFile.size(), FileSize(FindHeaderEnd(streamedFile).value(), size)) << "as a stream";
            EXPECT_EQ(DecryptInMemory(streamedFile, unlocking), plain) << "as a stream";
        }
    }
}
