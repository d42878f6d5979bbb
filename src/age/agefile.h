#pragma once

// The age file engine: whole files encrypted to recipients (X25519 or SSH keys) or under a passphrase, and
// opened again, through the same pipeline and output layer as the legacy format. Nothing is
// written until the header has opened; a file output is committed only after its last chunk
// authenticated, and a stream only ever receives authenticated chunks.
//
// Expected refusals come back as outcomes (names, opening); a file that is not age, does not
// open or fails to authenticate raises AgeError; a read or write failure raises IoError.

#include <optional>
#include <string>
#include <vector>

#include "age/recipients.h"
#include "age/stanzas.h"
#include "pipeline/bytestream.h"
#include "pipeline/fileoutcome.h"
#include "pipeline/runfiles.h"
#include "platform/secretbytes.h"

// How a new age file is protected: recipients, or else a passphrase (its UTF-8 bytes).
struct AgeProtection {
    std::vector<Recipient> recipients;
    std::optional<SecretBytes> passphrase;
    int workFactor = kDefaultWorkFactor;
    bool armor = false;
};

// An existing output is replaced.
FileOpResult EncryptAgeFile(const std::string& inputName, const std::string& outputName,
                            const AgeProtection& protection, const FileOpOptions& options = {});
FileOpResult DecryptAgeFile(const std::string& inputName, const std::string& outputName, const Unlocking& unlocking,
                            const FileOpOptions& options = {});
// The same on files already opened; a decrypted input's first bytes (kAgeDetectBytes, or
// more) were taken to tell its format.
FileOpResult EncryptOpenedAgeFile(RunInput input, RunOutput output, const AgeProtection& protection,
                                  const FileOpOptions& options = {});
FileOpResult DecryptOpenedAgeFile(RunInput input, RunOutput output, const Unlocking& unlocking,
                                  const FileOpOptions& options = {});
// Authenticates the header and every chunk and writes nothing: Decrypted when all of it opens.
FileOpResult CheckAgeFile(const std::string& inputName, const Unlocking& unlocking, const FileOpOptions& options = {});
FileOpResult CheckOpenedAgeFile(RunInput input, const Unlocking& unlocking, const FileOpOptions& options = {});

// The keys of an age file just written: its file key, and for a passphrase what its scrypt
// stanza was wrapped with.
struct SealedKeys {
    SecretBytes fileKey;
    std::optional<ScryptWrapping> scrypt;
};

// For a caller that checks the file it writes before committing it: the age file of what
// source gives written to sink, and its keys; nullopt when the observer stopped the run.
// total: source's size, when known.
std::optional<SealedKeys> SealAgeStream(ByteSource& source, ByteSink& sink, const AgeProtection& protection,
                                        std::optional<std::uint64_t> total, const FileOpOptions& options = {});
// Opens the age file that source reads into sink: unlocked with unlocking, or with a file key
// already known, authenticated with that key (and then, when unlocking is given too, unlocked
// as well, which must give the same key). False when the observer stopped the run.
bool OpenAgeStream(ByteSource& source, ByteSink& sink, const Unlocking* unlocking, const SecretBytes* knownKey,
                   std::optional<std::uint64_t> total, const FileOpOptions& options = {});

// An age file held in memory (a key file protected by a passphrase), opened in memory.
SecretBytes DecryptAgeBytes(const SecretBytes& file, const Unlocking& unlocking);
