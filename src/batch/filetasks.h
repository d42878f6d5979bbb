#pragma once

// encrypt, decrypt and check over many files: each file runs through its format's engine as a
// single command would run it, its output under an output folder at the file's place.

#include <optional>
#include <string>
#include <variant>

#include "batch/batchrun.h"
#include "formats/dispatch.h"

// Encrypts into the output folder: NAME.age for age, NAME for the legacy format.
struct EncryptWork {
    Protection protection;
};
// Decrypts a file of either format into the output folder (NAME.age to NAME). A legacy file is
// skipped when opening has no passphrase for it.
struct DecryptWork {
    Opening opening;
};
// Tells whether each file opens; writes nothing.
struct CheckWork {
    Opening opening;
};
using FileWork = std::variant<EncryptWork, DecryptWork, CheckWork>;

// Where encrypt and decrypt write.
struct FileTaskOutput {
    std::optional<std::string> folder;  // nullopt: beside each file
    bool replace = false;               // an existing output may be replaced
};

class FileTask final : public BatchTask {
public:
    explicit FileTask(FileWork work, FileTaskOutput output = {}) : work_(std::move(work)), output_(std::move(output)) {}
    FileReport Run(const BatchFile& file, const BatchJob& job) const override;
    // Decrypt tells by the file's first bytes (and the passphrase's check block).
    std::optional<std::string> OutputOf(const BatchFile& file) const override;

private:
    FileReport Do(const EncryptWork& work, const BatchFile& file, const BatchJob& job) const;
    FileReport Do(const DecryptWork& work, const BatchFile& file, const BatchJob& job) const;
    FileReport Do(const CheckWork& work, const BatchFile& file, const BatchJob& job) const;
    // Where file decrypts to, by its format.
    std::string DecryptedPath(const BatchFile& file, bool age) const;

    FileWork work_;
    FileTaskOutput output_;
};
