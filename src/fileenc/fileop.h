#pragma once

// The encrypted file format: a 32-byte check block derived from the passphrase, then the CBC
// ciphertext of the whole file, exactly as long as the plain file.

#include <cstdint>
#include <string>
#include <vector>

#include "cipher/cipherbase.h"

// The file passes through one buffer of this size. Chunks of any multiple of the block size
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
};

enum class FileOperation { Encrypt, Decrypt };

// The Gost window words one message differently; every other caller uses Standard.
enum class MessageWording { Standard, Gost };

// The text of the information box for an outcome.
std::string FileOpMessage(FileOpResult result, FileOperation operation,
                          MessageWording wording = MessageWording::Standard);

// Both take the names exactly as typed and the passphrase as bytes (see passphrase.h).
// They initialise the cipher and leave it burned. Expected refusals come back as outcomes;
// a read or write failure after both files are open raises IoError.
FileOpResult EncryptFile(const std::string& inputName, const std::string& outputName,
                         const std::vector<std::uint8_t>& passphrase, TZC_blockcipher& cipher);
FileOpResult DecryptFile(const std::string& inputName, const std::string& outputName,
                         const std::vector<std::uint8_t>& passphrase, TZC_blockcipher& cipher);
