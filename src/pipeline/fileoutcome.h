#pragma once

// What a run of either file engine ends in, and what its caller passes to it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/hostcalls.h"

enum class FileOpResult {
    NoInputName,
    NoOutputName,
    SameNames,
    InputOpenFailed,
    OutputOpenFailed,
    WrongPassphrase,
    Encrypted,
    Decrypted,
    Cancelled,  // the observer asked to stop: nothing was created, an existing output kept
};

enum class FileOperation { Encrypt, Decrypt };

// Told how far a run has come, at most once per chunk, always on the thread that started the
// run; it may ask the run to stop.
class FileOpObserver {
public:
    virtual ~FileOpObserver() = default;
    // done: input bytes read so far, headers included; total: the input's size when it is
    // known (a regular file), nullopt for a pipe. Returns false to stop the run, which then
    // ends Cancelled.
    virtual bool Continue(std::uint64_t done, std::optional<std::uint64_t> total) = 0;
    // Told, in a sentence naming the file, that the output is written in place and why (before
    // anything is written, by the runs that open their files themselves), and at the end of a
    // run that kept its output what its file system did not keep (a file mode).
    virtual void Notice(const std::string& message) { (void)message; }
};

// The file passes through buffers of this size: one for a small file, a few when it is read
// ahead and written behind on threads of their own. Each chunk costs two system calls and a
// few hand-offs between threads, which wake and sleep; against the fast ciphers those cost a
// good part of the run, so chunks are large (a tenth of AES-256's time at 256 KiB), while the
// buffers of a run stay well within its memory bound.
inline constexpr std::size_t kFileChunkBytes = 1024 * 1024;

struct FileOpOptions {
    FileOpObserver* observer = nullptr;
    const SystemCalls* calls = &HostCalls();
    std::size_t chunkBytes = kFileChunkBytes;  // a multiple of 16; smaller only in tests
    std::size_t cipherThreads = 0;             // threads sharing a chunk's work; 0: one per usable core
};
