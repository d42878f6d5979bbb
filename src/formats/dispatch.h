#pragma once

// Both file engines behind one call each, for every front end: an opened file goes to the
// engine of its format, told by its first bytes (taken with kFormatPeekBytes, see
// fileformat.h), or to the engine its protection names.

#include <optional>
#include <string>
#include <variant>

#include "age/agefile.h"
#include "pipeline/fileoutcome.h"
#include "pipeline/runfiles.h"
#include "platform/secretbytes.h"

// A legacy file's protection: its passphrase as the legacy format hashes it (see
// fileenc/passphrase.h) and its cipher (an algorithm of the registry).
struct LegacyProtection {
    SecretBytes passphrase;
    std::string cipher;
};

// How a new file is protected, and so which format it is written in.
using Protection = std::variant<AgeProtection, LegacyProtection>;

// How files of either format open.
struct Opening {
    Unlocking unlocking;                          // age files
    std::optional<SecretBytes> legacyPassphrase;  // legacy files, as hashed; none: none opens
    std::optional<std::string> cipher;            // legacy files: this algorithm only; nullopt: any that fits
};

// Outcomes and errors as the engine of the format gives them.
FileOpResult EncryptOpened(RunInput input, RunOutput output, const Protection& protection,
                           const FileOpOptions& options = {});
// A legacy file whose check block no allowed cipher fits, or that opening has no passphrase
// for, is WrongPassphrase; one too short to hold a check block raises IoError (read beyond
// its end).
FileOpResult DecryptOpened(RunInput input, RunOutput output, const Opening& opening, const FileOpOptions& options = {});
// Writes nothing: an age file is authenticated whole; a legacy file, which has nothing to
// authenticate, is Decrypted when a cipher's check block fits, else WrongPassphrase.
FileOpResult CheckOpened(RunInput input, const Opening& opening, const FileOpOptions& options = {});
