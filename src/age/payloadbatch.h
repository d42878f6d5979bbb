#pragma once

// The STREAM payload in batches of whole chunks, as the pipeline hands them over: each batch's
// chunks are sealed or opened on all cores at once, since every chunk's nonce is its counter.
// A batch that is not the last holds whole chunks only.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "age/payload.h"
#include "pipeline/workerpool.h"

inline constexpr std::size_t kSealedChunkBytes = kPayloadChunkBytes + kTagBytes;

// Seals count plain bytes as the chunks from counter first on, on the calling thread: a batch
// that one thread seals whole. The last chunk ends the payload when last. Returns the count of
// sealed bytes.
std::size_t SealChunks(const PayloadCipher& cipher, ChaChaContext& context, std::uint64_t first,
                       const std::uint8_t* in, std::size_t count, bool last, std::uint8_t* out);

// Opens count sealed bytes as the chunks from counter first on, on the calling thread, as
// PayloadBatches::Open does; returns the count of plain bytes. payloadOffset: where the first
// sealed chunk stands in the file, for the messages.
std::size_t OpenChunks(const PayloadCipher& cipher, ChaChaContext& context, std::uint64_t first,
                       const std::uint8_t* in, std::size_t count, bool last, std::uint8_t* out,
                       std::uint64_t payloadOffset);

class PayloadBatches {
public:
    // threads: how many share a batch (1: only the calling thread). payloadOffset: where the
    // first sealed chunk stands in the file, for the messages that name a chunk's place.
    PayloadBatches(const PayloadCipher& cipher, std::size_t threads, std::uint64_t payloadOffset = 0);

    // Seals count plain bytes into out; returns the sealed bytes.
    std::span<const std::uint8_t> Seal(const std::uint8_t* in, std::size_t count, bool last, std::uint8_t* out);
    // Opens count sealed bytes into out; returns the plain bytes, all authenticated. Raises
    // AgeError ChunkFailed, Truncated or TrailingData for the first chunk that does not open.
    std::span<const std::uint8_t> Open(const std::uint8_t* in, std::size_t count, bool last, std::uint8_t* out);

private:
    // Runs work(context, begin, end) on the batch's chunks split into one run of them per
    // thread, each thread with a context of its own; raises the failure of the first share
    // that failed.
    template <class Work>
    void ForEachShare(std::size_t chunks, Work work);

    const PayloadCipher& cipher_;
    std::unique_ptr<WorkerPool> pool_;  // only when more than one thread shares a batch
    // One per thread that shares a batch: they hold the payload key, and go with this object
    // at the end of the file.
    std::vector<ChaChaContext> contexts_;
    std::uint64_t payloadOffset_;
    std::uint64_t counter_ = 0;  // the first chunk of the next batch
};
