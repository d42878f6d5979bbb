// Every change to an age file, in its header or its payload, and every cut or addition is
// refused with the failure and the message the user is told, and nothing is lost: no output
// file is created, an existing one keeps its bytes, and a stream receives only whole chunks
// that authenticated, in order.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "age/agefile.h"
#include "age/payloadbatch.h"
#include "agefile.h"
#include "support/pipeinput.h"

namespace {
// Two recipients, key1 first: its stanza opens, the other's is covered by the MAC alone.
// The header's lines: the version (22 bytes), two stanzas of 54 + 44, the MAC line (48).
constexpr std::size_t kOwnStanza = 22, kOtherStanza = 120, kMacLine = 218, kHeader = 266;
constexpr std::size_t kPayload = kHeader + kPayloadNonceBytes;  // the first chunk
constexpr std::size_t kChunk = kPayloadChunkBytes, kSealed = kSealedChunkBytes;

std::size_t ChunkAt(std::size_t n)  // where sealed chunk n (from 1) starts
{
    return kPayload + (n - 1) * kSealed;
}

using Edit = std::function<void(Bytes&)>;

Edit ChangeText(std::size_t at)  // to another base64 digit, so that only the content changes
{
    return [at](Bytes& file) { file[at] = file[at] == 'A' ? 'B' : 'A'; };
}

Edit ChangeByte(std::size_t at)
{
    return [at](Bytes& file) { file[at] ^= 0x01; };
}

Edit CutTo(std::size_t size)
{
    return [size](Bytes& file) { file.resize(size); };
}

Edit Append(std::size_t count)
{
    return [count](Bytes& file) { file.insert(file.end(), count, 0x5A); };
}

// Refused as the user is told, with how many chunks open before the fault.
struct Case {
    const char* what;
    bool fullLastChunk;  // the file of two full chunks, else three with a short last one
    Edit edit;
    AgeFailure failure;
    std::string message;
    std::size_t chunksBefore = 0;
};

const std::string kDamaged = "the header was changed or damaged", kTruncated = "the file is truncated";

const Case kCases[] = {
    // Another version is another format, which zorvanta does not read.
    {"version line", false, [](Bytes& f) { f[20] = '2'; }, AgeFailure::NotAgeFile, "not an age file"},
    {"own stanza's share", false, ChangeText(kOwnStanza + 15), AgeFailure::NoIdentityMatched,
     "no identity matched this file"},
    {"own stanza's body", false, ChangeText(kOwnStanza + 60), AgeFailure::NoIdentityMatched,
     "no identity matched this file"},
    {"other stanza's share", false, ChangeText(kOtherStanza + 15), AgeFailure::HeaderDamaged, kDamaged},
    {"other stanza's body", false, ChangeText(kOtherStanza + 60), AgeFailure::HeaderDamaged, kDamaged},
    {"MAC line's mark", false, [](Bytes& f) { f[kMacLine + 3] = '\t'; }, AgeFailure::HeaderDamaged,
     kDamaged + " (bad MAC line)"},
    {"MAC", false, ChangeText(kMacLine + 10), AgeFailure::HeaderDamaged, kDamaged},
    {"nonce", false, ChangeByte(kHeader + 3), AgeFailure::ChunkFailed,
     "chunk 1 (at byte 282) failed to authenticate"},
    {"first chunk", false, ChangeByte(ChunkAt(1) + 100), AgeFailure::ChunkFailed,
     "chunk 1 (at byte 282) failed to authenticate"},
    {"middle chunk", false, ChangeByte(ChunkAt(2) + kChunk - 1), AgeFailure::ChunkFailed,
     "chunk 2 (at byte 65834) failed to authenticate", 1},
    {"last chunk's tag", false, [](Bytes& f) { f.back() ^= 0x80; }, AgeFailure::ChunkFailed,
     "chunk 3 (at byte 131386) failed to authenticate", 2},
    {"chunks swapped", false, [](Bytes& f) {
         std::swap_ranges(f.begin() + ChunkAt(1), f.begin() + ChunkAt(2), f.begin() + ChunkAt(2));
     }, AgeFailure::ChunkFailed, "chunk 1 (at byte 282) failed to authenticate"},
    {"cut in the header", false, CutTo(kMacLine + 20), AgeFailure::Truncated, kTruncated},
    {"cut in the nonce", false, CutTo(kHeader + 9), AgeFailure::Truncated, kTruncated},
    {"cut after the nonce", false, CutTo(kPayload), AgeFailure::Truncated, kTruncated},
    {"cut in the middle chunk", false, CutTo(ChunkAt(2) + 1000), AgeFailure::ChunkFailed,
     "chunk 2 (at byte 65834) failed to authenticate", 1},
    {"whole last chunk cut", false, CutTo(ChunkAt(3)), AgeFailure::Truncated, kTruncated, 1},
    {"last chunk cut within its tag", false, CutTo(ChunkAt(3) + kTagBytes - 1), AgeFailure::Truncated,
     kTruncated, 2},
    {"last chunk cut short", false, CutTo(ChunkAt(3) + 500), AgeFailure::ChunkFailed,
     "chunk 3 (at byte 131386) failed to authenticate", 2},
    {"full last chunk cut", true, CutTo(ChunkAt(2)), AgeFailure::Truncated, kTruncated, 1},
    {"byte after a short last chunk", false, Append(1), AgeFailure::ChunkFailed,
     "chunk 3 (at byte 131386) failed to authenticate", 2},
    {"bytes after a full last chunk", true, Append(5), AgeFailure::TrailingData, "the file has data after its end", 1},
    {"the last chunk again", true, [](Bytes& f) { f.insert(f.end(), f.end() - kSealed, f.end()); },
     AgeFailure::TrailingData, "the file has data after its end", 1},
};

class Tampering : public ::testing::Test {
protected:
    TempDir dir_;
    const Bytes plain_[2] = {Pattern(2 * kChunk + 1000), Pattern(2 * kChunk)};
    Bytes file_[2];
    Unlocking unlocking_;

    void SetUp() override
    {
        AgeProtection protection;
        for (const char* key : {"key1.txt", "key2.txt"})
            protection.recipients.push_back(ParseRecipient(PrintedRecipient(key)));
        for (std::size_t i = 0; i < 2; ++i) {
            WriteFile(dir_.path("plain"), plain_[i]);
            ASSERT_EQ(EncryptAgeFile(dir_.path("plain"), dir_.path("file"), protection), FileOpResult::Encrypted);
            file_[i] = ReadFile(dir_.path("file"));
            ASSERT_EQ(FindHeaderEnd(file_[i]), kHeader);
        }
        std::filesystem::remove(dir_.path("plain"));
        std::filesystem::remove(dir_.path("file"));
        unlocking_.identities.push_back(StoredIdentity("key1.txt"));
    }

    void ExpectRefused(const Case& c, const std::function<void()>& run, const char* how)
    {
        const auto failure = FailureOf(run);
        ASSERT_TRUE(failure) << how;
        EXPECT_EQ(failure->failure(), c.failure) << how;
        EXPECT_EQ(failure->what(), c.message) << how;
    }

    // Decrypted into a pipe that a thread drains: the bytes its reader got.
    Bytes ThroughPipe(const Case& c)
    {
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        Bytes got;
        std::thread reader([&] {
            std::uint8_t buffer[4096];
            for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;)
                got.insert(got.end(), buffer, buffer + n);
        });
        // One payload chunk a batch, so that the chunks before the fault may be written first.
        const FileOpOptions options{.chunkBytes = kChunk};
        const std::string pipe = "/dev/fd/" + std::to_string(ends[1]);
        ExpectRefused(c, [&] { DecryptAgeFile(dir_.path("in"), pipe, unlocking_, options); }, "to a pipe");
        ::close(ends[1]);
        reader.join();
        ::close(ends[0]);
        return got;
    }
};
}  // namespace

TEST_F(Tampering, EachChangeIsRefusedForItsReasonAndLosesNothing)
{
    const Bytes kept(100, 0xA5);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        const std::size_t which = c.fullLastChunk ? 1 : 0;
        Bytes file = file_[which];
        c.edit(file);
        WriteFile(dir_.path("in"), file);
        WriteFile(dir_.path("kept"), kept);
        // A file with another link is written in place, which must not begin before all of it opened.
        WriteFile(dir_.path("linked"), kept);
        ASSERT_EQ(::link(dir_.path("linked").c_str(), dir_.path("twin").c_str()), 0);

        ExpectRefused(c, [&] { DecryptAgeFile(dir_.path("in"), dir_.path("new"), unlocking_); }, "to a new file");
        const FileOpOptions batchPerChunk{.chunkBytes = kChunk, .cipherThreads = 3};
        ExpectRefused(c, [&] { DecryptAgeFile(dir_.path("in"), dir_.path("new"), unlocking_, batchPerChunk); },
                      "to a new file, a chunk a batch on three threads");
        ExpectRefused(c, [&] { DecryptAgeFile(dir_.path("in"), dir_.path("kept"), unlocking_); }, "to a file");
        ExpectRefused(c, [&] { DecryptAgeFile(dir_.path("in"), dir_.path("linked"), unlocking_); }, "in place");
        ExpectRefused(c, [&] { CheckAgeFile(dir_.path("in"), unlocking_); }, "checked");
        EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"in", "kept", "linked", "twin"}));
        EXPECT_EQ(ReadFile(dir_.path("kept")), kept);
        EXPECT_EQ(ReadFile(dir_.path("twin")), kept);
        std::filesystem::remove(dir_.path("linked"));
        std::filesystem::remove(dir_.path("twin"));

        const Bytes streamed = ThroughPipe(c);
        EXPECT_EQ(streamed.size() % kChunk, 0u) << streamed.size();
        EXPECT_LE(streamed.size(), c.chunksBefore * kChunk);
        EXPECT_TRUE(std::equal(streamed.begin(), streamed.end(), plain_[which].begin()));
    }
}

TEST_F(Tampering, TheUntouchedFilesOpenWhole)
{
    for (std::size_t i = 0; i < 2; ++i) {
        WriteFile(dir_.path("in"), file_[i]);
        ASSERT_EQ(DecryptAgeFile(dir_.path("in"), dir_.path("out"), unlocking_), FileOpResult::Decrypted);
        EXPECT_EQ(ReadFile(dir_.path("out")), plain_[i]);
        // In place: read twice, written once.
        ASSERT_EQ(::link(dir_.path("out").c_str(), dir_.path("twin").c_str()), 0);
        ASSERT_EQ(DecryptAgeFile(dir_.path("in"), dir_.path("out"), unlocking_), FileOpResult::Decrypted);
        EXPECT_EQ(ReadFile(dir_.path("twin")), plain_[i]);
        std::filesystem::remove(dir_.path("out"));
        std::filesystem::remove(dir_.path("twin"));
    }
    // A stream cannot be authenticated before a file is written in place.
    WriteFile(dir_.path("linked"), {1, 2, 3});
    ASSERT_EQ(::link(dir_.path("linked").c_str(), dir_.path("twin").c_str()), 0);
    PipeInput pipe(dir_.path("pipe"));
    pipe.Write({reinterpret_cast<const char*>(file_[0].data()), 1000});
    const auto refusal = FailureOf([&] { DecryptAgeFile(dir_.path("pipe"), dir_.path("linked"), unlocking_); });
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->failure(), AgeFailure::StreamInPlace);
    EXPECT_EQ(ReadFile(dir_.path("twin")), (Bytes{1, 2, 3}));
}

TEST(CraftedPayload, AnEmptyLastChunkAfterAFullOneIsRefusedForWhatItIs)
{
    const TempDir dir;
    SecretBytes fileKey = GenerateFileKey();
    const std::string header = WriteHeader({WrapX25519(fileKey, ParseRecipient(PrintedRecipient("key1.txt")))}, fileKey);
    Bytes file(header.begin(), header.end());
    const std::array<std::uint8_t, kPayloadNonceBytes> nonce{};
    file.insert(file.end(), nonce.begin(), nonce.end());
    const PayloadCipher cipher(fileKey, nonce);
    const Bytes plain = Pattern(kChunk);
    file.resize(file.size() + kSealed + kTagBytes);
    std::uint8_t* chunks = file.data() + header.size() + nonce.size();
    cipher.Seal(0, false, plain.data(), kChunk, chunks);
    cipher.Seal(1, true, plain.data(), 0, chunks + kSealed);
    WriteFile(dir.path("in"), file);

    Unlocking unlocking;
    unlocking.identities.push_back(StoredIdentity("key1.txt"));
    const auto failure = FailureOf([&] { CheckAgeFile(dir.path("in"), unlocking); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->failure(), AgeFailure::ChunkFailed);
    EXPECT_EQ(failure->what(), "chunk 2 (at byte " + std::to_string(header.size() + nonce.size() + kSealed) +
                                   ") is an empty last chunk after data, which the format forbids");
}
