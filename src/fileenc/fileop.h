#pragma once

// The encrypted file format: a 32-byte check block derived from the passphrase, then the CBC
// ciphertext of the whole file, exactly as long as the plain file.

#include <string>

#include "cipher/cipherbase.h"
#include "pipeline/fileoutcome.h"
#include "pipeline/runfiles.h"
#include "platform/secretbytes.h"

// Both take the names exactly as typed and the passphrase as bytes (see passphrase.h); an
// existing output is replaced. They initialise the cipher and leave it burned. Expected
// refusals come back as outcomes; a read or write failure after both files are open raises
// IoError.
FileOpResult EncryptFile(const std::string& inputName, const std::string& outputName,
                         const SecretBytes& passphrase, TZC_blockcipher& cipher, const FileOpOptions& options = {});
FileOpResult DecryptFile(const std::string& inputName, const std::string& outputName,
                         const SecretBytes& passphrase, TZC_blockcipher& cipher, const FileOpOptions& options = {});
// The same on files already opened; the input's first bytes may have been taken to tell its
// format.
FileOpResult EncryptOpenedFile(RunInput input, RunOutput output, const SecretBytes& passphrase,
                               TZC_blockcipher& cipher, const FileOpOptions& options = {});
FileOpResult DecryptOpenedFile(RunInput input, RunOutput output, const SecretBytes& passphrase,
                               TZC_blockcipher& cipher, const FileOpOptions& options = {});
