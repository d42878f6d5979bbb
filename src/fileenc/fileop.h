#pragma once

// The encrypted file format: a 32-byte check block derived from the passphrase, then the CBC
// ciphertext of the whole file, exactly as long as the plain file.

#include <cstdint>
#include <optional>
#include <string>

#include "cipher/cipherbase.h"
#include "platform/posixfile.h"
#include "platform/secretbytes.h"

// The file passes through buffers of this size: one for a small file, a few when it is read
// ahead and written behind on threads of their own. Chunks of any multiple of the block size
// give the same bytes as one pass; large ones save system calls, which otherwise cost the
// fast ciphers a good part of their speed.
inline constexpr std::size_t kFileChunkBytes = 256 * 1024;

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

// The Gost window words one message differently; every other caller uses Standard.
enum class MessageWording { Standard, Gost };

// The text of the information box for an outcome.
std::string FileOpMessage(FileOpResult result, FileOperation operation,
                          MessageWording wording = MessageWording::Standard);

// Told how far a run has come, at most once per chunk, always on the thread that called
// EncryptFile or DecryptFile; it may ask the run to stop.
class FileOpObserver {
public:
    virtual ~FileOpObserver() = default;
    // done: input bytes read so far, the check block included; total: the input's size when
    // it is known (a regular file), nullopt for a pipe. Returns false to stop the run, which
    // then ends Cancelled.
    virtual bool Continue(std::uint64_t done, std::optional<std::uint64_t> total) = 0;
};

struct FileOpOptions {
    FileOpObserver* observer = nullptr;
    const SystemCalls* calls = &HostCalls();
    std::size_t chunkBytes = kFileChunkBytes;  // a multiple of 16; smaller only in tests
    std::size_t cipherThreads = 0;             // threads sharing a chunk's decryption; 0: one per core
};

// Both take the names exactly as typed and the passphrase as bytes (see passphrase.h).
// They initialise the cipher and leave it burned. Expected refusals come back as outcomes;
// a read or write failure after both files are open raises IoError.
FileOpResult EncryptFile(const std::string& inputName, const std::string& outputName,
                         const SecretBytes& passphrase, TZC_blockcipher& cipher, const FileOpOptions& options = {});
FileOpResult DecryptFile(const std::string& inputName, const std::string& outputName,
                         const SecretBytes& passphrase, TZC_blockcipher& cipher, const FileOpOptions& options = {});
