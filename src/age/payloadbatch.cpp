#include "age/payloadbatch.h"

#include <algorithm>
#include <string>
#include <vector>

#include "age/ageerror.h"
#include "common/wipe.h"

namespace {
enum class Opened : std::uint8_t { Yes, Failed, EndsEarly, GoesOn, EmptyAfterData };

// The final chunk of the file must open as the last; one that opens only as an inner chunk
// shows the file was cut after it. An inner chunk that opens only as the last shows bytes were
// added after the end. Only an empty file has an empty last chunk.
Opened OpenChunk(const PayloadCipher& cipher, ChaChaContext& context, std::uint64_t counter, bool final,
                 const std::uint8_t* in, std::size_t n, std::uint8_t* out)
{
    if (n < kTagBytes) return Opened::EndsEarly;
    if (cipher.Open(context, counter, final, in, n, out))
        return final && n == kTagBytes && counter > 0 ? Opened::EmptyAfterData : Opened::Yes;
    if (cipher.Open(context, counter, !final, in, n, out)) return final ? Opened::EndsEarly : Opened::GoesOn;
    return Opened::Failed;
}

// payloadOffset: where the first sealed chunk stands in the file, for the message.
[[noreturn]] void Refuse(std::uint64_t counter, Opened why, std::uint64_t payloadOffset)
{
    if (why == Opened::EndsEarly) throw AgeError::Truncated();
    if (why == Opened::GoesOn) throw AgeError::TrailingData();
    const std::uint64_t offset = payloadOffset + counter * kSealedChunkBytes;
    const std::string chunk = "chunk " + std::to_string(counter + 1) + " (at byte " + std::to_string(offset) + ")";
    if (why == Opened::EmptyAfterData)
        throw AgeError(AgeFailure::ChunkFailed, chunk + " is an empty last chunk after data, which the format forbids");
    throw AgeError(AgeFailure::ChunkFailed, chunk + " failed to authenticate");
}

// How many chunks a batch of count bytes holds: the last batch has at least one, and a short
// chunk at its end.
std::size_t ChunksIn(std::size_t count, std::size_t chunkBytes, bool last)
{
    return last ? std::max<std::size_t>(1, (count + chunkBytes - 1) / chunkBytes) : count / chunkBytes;
}
}  // namespace

std::size_t SealChunks(const PayloadCipher& cipher, ChaChaContext& context, std::uint64_t first,
                       const std::uint8_t* in, std::size_t count, bool last, std::uint8_t* out)
{
    const std::size_t chunks = ChunksIn(count, kPayloadChunkBytes, last);
    for (std::size_t i = 0; i < chunks; ++i) {
        const std::size_t start = i * kPayloadChunkBytes;
        const std::size_t n = std::min(kPayloadChunkBytes, count - start);
        cipher.Seal(context, first + i, last && i == chunks - 1, in + start, n, out + i * kSealedChunkBytes);
    }
    return count + chunks * kTagBytes;
}

std::size_t OpenChunks(const PayloadCipher& cipher, ChaChaContext& context, std::uint64_t first,
                       const std::uint8_t* in, std::size_t count, bool last, std::uint8_t* out,
                       std::uint64_t payloadOffset)
{
    const std::size_t chunks = ChunksIn(count, kSealedChunkBytes, last);
    for (std::size_t i = 0; i < chunks; ++i) {
        const std::size_t start = i * kSealedChunkBytes;
        const std::size_t n = std::min(kSealedChunkBytes, count - start);
        const Opened opened =
            OpenChunk(cipher, context, first + i, last && i == chunks - 1, in + start, n, out + i * kPayloadChunkBytes);
        if (opened != Opened::Yes) Refuse(first + i, opened, payloadOffset);
    }
    return count - chunks * kTagBytes;
}

PayloadBatches::PayloadBatches(const PayloadCipher& cipher, std::size_t threads, std::uint64_t payloadOffset)
    : cipher_(cipher), pool_(threads > 1 ? std::make_unique<WorkerPool>(threads - 1) : nullptr),
      payloadOffset_(payloadOffset)
{
    contexts_.resize(pool_ ? pool_->Capacity() : 1);
}

template <class Work>
void PayloadBatches::ForEachChunk(std::size_t chunks, Work work)
{
    const std::size_t tasks = pool_ ? std::min(chunks, pool_->Capacity()) : 1;
    // The cipher's assembly leaves key material on the stacks of threads that live on.
    if (tasks <= 1) {
        for (std::size_t i = 0; i < chunks; ++i) work(contexts_[0], i);
        WipeStackBelow();
        return;
    }
    pool_->Run(tasks, [&](std::size_t task) {
        for (std::size_t i = chunks * task / tasks; i < chunks * (task + 1) / tasks; ++i) work(contexts_[task], i);
        WipeStackBelow();
    });
}

std::span<const std::uint8_t> PayloadBatches::Seal(const std::uint8_t* in, std::size_t count, bool last,
                                                   std::uint8_t* out)
{
    const std::size_t chunks = ChunksIn(count, kPayloadChunkBytes, last);
    ForEachChunk(chunks, [&](ChaChaContext& context, std::size_t i) {
        const std::size_t start = i * kPayloadChunkBytes;
        const std::size_t n = std::min(kPayloadChunkBytes, count - start);
        cipher_.Seal(context, counter_ + i, last && i == chunks - 1, in + start, n, out + i * kSealedChunkBytes);
    });
    counter_ += chunks;
    return {out, count + chunks * kTagBytes};
}

std::span<const std::uint8_t> PayloadBatches::Open(const std::uint8_t* in, std::size_t count, bool last,
                                                   std::uint8_t* out)
{
    const std::size_t chunks = ChunksIn(count, kSealedChunkBytes, last);
    std::vector<Opened> opened(chunks, Opened::Yes);
    ForEachChunk(chunks, [&](ChaChaContext& context, std::size_t i) {
        const std::size_t start = i * kSealedChunkBytes;
        const std::size_t n = std::min(kSealedChunkBytes, count - start);
        opened[i] =
            OpenChunk(cipher_, context, counter_ + i, last && i == chunks - 1, in + start, n, out + i * kPayloadChunkBytes);
    });
    const auto failed = std::ranges::find_if(opened, [](Opened o) { return o != Opened::Yes; });
    if (failed != opened.end())
        Refuse(counter_ + static_cast<std::uint64_t>(failed - opened.begin()), *failed, payloadOffset_);
    counter_ += chunks;
    return {out, count - chunks * kTagBytes};
}

