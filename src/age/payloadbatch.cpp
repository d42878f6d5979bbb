#include "age/payloadbatch.h"

#include <algorithm>
#include <exception>
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
void PayloadBatches::ForEachShare(std::size_t chunks, Work work)
{
    const std::size_t tasks = std::max<std::size_t>(1, pool_ ? std::min(chunks, pool_->Capacity()) : 1);
    std::vector<std::exception_ptr> failures(tasks);
    const auto share = [&](std::size_t task) {
        try {
            work(contexts_[task], chunks * task / tasks, chunks * (task + 1) / tasks);
        } catch (...) {
            failures[task] = std::current_exception();
        }
        WipeStackBelow();  // the cipher's assembly leaves key material on the stacks of threads that live on
    };
    if (tasks == 1) {
        share(0);
    } else {
        pool_->Run(tasks, share);
    }
    // Each share stops at its own first failing chunk, so the batch's first is the first share's.
    for (const std::exception_ptr& failure : failures)
        if (failure) std::rethrow_exception(failure);
}

std::span<const std::uint8_t> PayloadBatches::Seal(const std::uint8_t* in, std::size_t count, bool last,
                                                   std::uint8_t* out)
{
    const std::size_t chunks = ChunksIn(count, kPayloadChunkBytes, last);
    ForEachShare(chunks, [&](ChaChaContext& context, std::size_t begin, std::size_t end) {
        const std::size_t start = begin * kPayloadChunkBytes;
        SealChunks(cipher_, context, counter_ + begin, in + start, std::min(count, end * kPayloadChunkBytes) - start,
                   last && end == chunks, out + begin * kSealedChunkBytes);
    });
    counter_ += chunks;
    return {out, count + chunks * kTagBytes};
}

std::span<const std::uint8_t> PayloadBatches::Open(const std::uint8_t* in, std::size_t count, bool last,
                                                   std::uint8_t* out)
{
    const std::size_t chunks = ChunksIn(count, kSealedChunkBytes, last);
    ForEachShare(chunks, [&](ChaChaContext& context, std::size_t begin, std::size_t end) {
        const std::size_t start = begin * kSealedChunkBytes;
        OpenChunks(cipher_, context, counter_ + begin, in + start, std::min(count, end * kSealedChunkBytes) - start,
                   last && end == chunks, out + begin * kPayloadChunkBytes, payloadOffset_);
    });
    counter_ += chunks;
    return {out, count - chunks * kTagBytes};
}
