#pragma once

// encrypt, decrypt and check over many files: each file runs through its format's engine as a
// single command would run it, its output under an output folder at the file's place.

#include <optional>
#include <string>

#include "age/agefile.h"
#include "batch/batchrun.h"
#include "platform/secretbytes.h"

struct FileTaskSettings {
    std::optional<SecretBytes> legacyPassphrase;  // as the legacy format hashes it; none: legacy files are skipped
    std::optional<std::string> cipher;            // an algorithm; decrypt and check: nullopt tells it per file
    std::optional<AgeProtection> age;             // encrypt: write age files (NAME.age), else legacy ones
    Unlocking unlocking;                          // decrypt and check: how age files open
    std::optional<std::string> outputFolder;      // encrypt and decrypt
    bool replace = false;                         // an existing output may be replaced
};

// Which work a file task does on each file.
enum class FileTaskKind {
    Encrypt,  // into the output folder: to NAME.age for the age format, NAME for the legacy format
    Decrypt,  // a file of either format into the output folder (NAME.age to NAME)
    Check,    // tells whether the file opens; writes nothing
};

class FileTask final : public BatchTask {
public:
    FileTask(FileTaskKind kind, FileTaskSettings settings) : kind_(kind), settings_(std::move(settings)) {}
    FileReport Run(const BatchFile& file, const BatchJob& job) const override;
    // Decrypt tells by the file's first bytes (and the passphrase's check block).
    std::optional<std::string> OutputOf(const BatchFile& file) const override;

private:
    FileReport Encrypt(const BatchFile& file, const BatchJob& job) const;
    FileReport Decrypt(const BatchFile& file, const BatchJob& job) const;
    FileReport Check(const BatchFile& file, const BatchJob& job) const;
    // Where file decrypts to, by its format.
    std::string DecryptedPath(const BatchFile& file, bool age) const;

    FileTaskKind kind_;
    FileTaskSettings settings_;
};
