#pragma once

// Moves a file body from a source to a sink in chunks, each transformed in order on the
// calling thread. Threaded, the input is read ahead and the output written behind on threads
// of their own through a few chunk buffers, so the cipher never waits for the disk and memory
// stays bounded whatever the size of the file.
//
// Every chunk is full but the last, which is shorter, and the transform is told which one is
// the last. An input that ends on a chunk's end ends with an empty chunk, unless the stream
// looks ahead: the reader then holds each full chunk back until the next read tells whether it
// is the last, so that the last chunk may be full, and only an empty input gives an empty one.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "pipeline/bytestream.h"
#include "pipeline/fileoutcome.h"

// How many chunk buffers a threaded run uses: its whole memory, whatever the size of the file.
inline constexpr std::size_t kChunkBuffers = 6;

struct ChunkStream {
    ByteSource& input;
    ByteSink& output;
    FileOpObserver* observer;
    std::size_t chunkBytes;        // the input's bytes per chunk
    std::size_t spareBytes;        // a second buffer per chunk for a transform that changes sizes; 0: none
    std::optional<std::uint64_t> total;  // the input's size, when known
    bool lookAhead = false;
};

// Transforms the count bytes of data, the last chunk's when last is set, and returns the bytes
// to write: within data when done in place, else within spare. Called for every chunk, in
// order, on the calling thread.
using ChunkTransform =
    std::function<std::span<const std::uint8_t>(std::uint8_t* data, std::size_t count, bool last, std::uint8_t* spare)>;

// The chunk size for a body of bodyBytes, when known: chunkBytes, or for a smaller body whole
// units enough to hold it and meet its end in one read, so that a small file does not pay for
// buffers it leaves empty. unit divides chunkBytes.
std::size_t ChunkBytesFor(std::size_t chunkBytes, std::size_t unit, std::optional<std::uint64_t> bodyBytes);

// Whether reader and writer threads pay off: from a few chunks on, so a small regular file
// goes through one buffer; total is the input's size, when known.
bool WorthThreads(std::optional<std::uint64_t> total, std::size_t chunkBytes);

// Reads to the end of the input, transforming and writing each chunk, and tells the observer
// after each chunk. False when the observer asked to stop; the output is then incomplete. A
// failure of any thread (I/O or the transform's) stops the run and is raised again here.
bool StreamChunks(const ChunkStream& stream, const ChunkTransform& transform, bool threaded);
