#pragma once

// Moves a file body from the input to the output in chunks, each transformed in order on the
// calling thread. Threaded, the input is read ahead and the output written behind on threads
// of their own through a few chunk buffers, so the cipher never waits for the disk and memory
// stays bounded whatever the size of the file.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "fileenc/fileop.h"
#include "platform/posixfile.h"

// How many chunk buffers a threaded run uses: its whole memory, whatever the size of the file.
inline constexpr std::size_t kChunkBuffers = 6;

struct ChunkStream {
    int input;
    const std::string& inputName;  // named by read errors
    OutputFile& output;
    const std::string& outputName;  // named by write errors
    const FileOpOptions& options;
    std::uint64_t done;                   // input bytes read before the body
    std::optional<std::uint64_t> total;  // the input's size, when known
};

// Transforms count bytes in place; called for every chunk, in order, on the calling thread.
using ChunkTransform = std::function<void(std::uint8_t* data, std::size_t count)>;

// Reads until a chunk comes back short, transforming and writing each, and tells the observer
// after each chunk on the calling thread. False when the observer asked to stop; the output is
// then incomplete. I/O errors of any thread stop the run and raise IoError naming the file.
bool StreamChunks(const ChunkStream& stream, const ChunkTransform& transform, bool threaded);
