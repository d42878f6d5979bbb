// The payload's STREAM rules, one crafted payload each under a known file key: every chunk is
// sealed here with the counter and last flag the row gives, and the engine must open exactly
// the well-formed ones and refuse each other one for its own reason. Each rule is met inside a
// batch of chunks and across the boundary between two (the engine opens two chunks a batch here).
#include <gtest/gtest.h>

#include "age/agefile.h"
#include "age/keys.h"
#include "agefile.h"

namespace {
constexpr std::size_t kFull = kPayloadChunkBytes;

// One sealed chunk: its plain size, its counter and its last flag.
struct Chunk {
    std::size_t bytes;
    std::uint64_t counter;
    bool last;
};

// A whole age file for the file key: a header with its MAC, then the chunks as given.
Bytes Crafted(const SecretBytes& fileKey, const std::vector<Chunk>& chunks)
{
    const std::string header = WriteHeader({WrapX25519(fileKey, RecipientOf(GenerateX25519Identity()))}, fileKey);
    Bytes file(header.begin(), header.end());
    const std::array<std::uint8_t, kPayloadNonceBytes> nonce{7, 7, 7};
    file.insert(file.end(), nonce.begin(), nonce.end());
    const PayloadCipher cipher(fileKey, nonce);
    for (const Chunk& chunk : chunks) {
        const Bytes plain = Pattern(chunk.bytes);
        const std::size_t at = file.size();
        file.resize(at + chunk.bytes + kTagBytes);
        cipher.Seal(chunk.counter, chunk.last, plain.data(), chunk.bytes, file.data() + at);
    }
    return file;
}

// What the engine makes of a file: the plain size, or the failure and its message.
std::string OutcomeOf(const Bytes& file, const SecretBytes& fileKey)
{
    MemorySource source(file);
    SecretSink sink;
    const FileOpOptions options{.chunkBytes = 2 * kPayloadChunkBytes};
    try {
        EXPECT_TRUE(OpenAgeStream(source, sink, nullptr, &fileKey, file.size(), options));
    } catch (const AgeError& e) {
        return e.what();
    }
    return "opens to " + std::to_string(sink.bytes.size()) + " bytes";
}
}  // namespace

TEST(StreamRules, EachCraftedPayloadHasItsExactOutcome)
{
    const SecretBytes fileKey(16, 0x5a);
    const struct {
        const char* rule;
        std::vector<Chunk> chunks;
        std::string outcome;  // "chunk N" stands for the message naming chunk N and its place
    } rows[] = {
        {"a full last chunk", {{kFull, 0, true}}, "opens to 65536 bytes"},
        {"a full last chunk, the batch's second", {{kFull, 0, false}, {kFull, 1, true}}, "opens to 131072 bytes"},
        {"a full last chunk, the next batch's first",
         {{kFull, 0, false}, {kFull, 1, false}, {kFull, 2, true}}, "opens to 196608 bytes"},
        {"a short last chunk across the boundary", {{kFull, 0, false}, {kFull, 1, false}, {5, 2, true}},
         "opens to 131077 bytes"},
        {"an empty payload", {{0, 0, true}}, "opens to 0 bytes"},
        {"an empty last chunk after data", {{kFull, 0, false}, {0, 1, true}},
         "chunk 2 is an empty last chunk after data, which the format forbids"},
        {"an empty last chunk after data, the next batch's first",
         {{kFull, 0, false}, {kFull, 1, false}, {0, 2, true}}, "chunk 3 is an empty last chunk after data, which the format forbids"},
        {"a skipped counter", {{kFull, 0, false}, {kFull, 2, true}}, "chunk 2 failed to authenticate"},
        {"a skipped counter, the next batch's first", {{kFull, 0, false}, {kFull, 1, false}, {kFull, 3, true}},
         "chunk 3 failed to authenticate"},
        {"a short inner chunk", {{5, 0, false}, {kFull, 1, true}}, "chunk 1 failed to authenticate"},
        {"a short inner chunk, the batch's last",
         {{kFull, 0, false}, {5, 1, false}, {kFull, 2, true}}, "chunk 2 failed to authenticate"},
        {"two last flags", {{kFull, 0, true}, {kFull, 1, true}}, "the file has data after its end"},
        {"two last flags, the first ending a batch",
         {{kFull, 0, false}, {kFull, 1, true}, {kFull, 2, true}}, "the file has data after its end"},
        {"no last flag", {{kFull, 0, false}, {kFull, 1, false}}, "the file is truncated"},
        {"no last flag, the next batch's first", {{kFull, 0, false}, {kFull, 1, false}, {kFull, 2, false}},
         "the file is truncated"},
        {"a short chunk without the last flag", {{kFull, 0, false}, {5, 1, false}}, "the file is truncated"},
    };
    for (const auto& row : rows) {
        std::string outcome = OutcomeOf(Crafted(fileKey, row.chunks), fileKey);
        // The chunk's place in bytes depends on the header's length; the chunk's number does not.
        if (const std::size_t place = outcome.find(" (at byte "); place != std::string::npos)
            outcome.erase(place, outcome.find(')', place) - place + 1);
        EXPECT_EQ(outcome, row.outcome) << row.rule;
    }
}
