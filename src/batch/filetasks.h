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

// Encrypts each file into the output folder: to NAME.age for the age format, NAME for the
// legacy format.
class EncryptTask final : public BatchTask {
public:
    explicit EncryptTask(FileTaskSettings settings) : settings_(std::move(settings)) {}
    FileReport Run(const BatchFile& file, const BatchJob& job) const override;

private:
    FileTaskSettings settings_;
};

// Decrypts each file, of either format, into the output folder (NAME.age to NAME).
class DecryptTask final : public BatchTask {
public:
    explicit DecryptTask(FileTaskSettings settings) : settings_(std::move(settings)) {}
    FileReport Run(const BatchFile& file, const BatchJob& job) const override;

private:
    FileTaskSettings settings_;
};

// Tells of each file whether it opens; writes nothing.
class CheckTask final : public BatchTask {
public:
    explicit CheckTask(FileTaskSettings settings) : settings_(std::move(settings)) {}
    FileReport Run(const BatchFile& file, const BatchJob& job) const override;

private:
    FileTaskSettings settings_;
};
