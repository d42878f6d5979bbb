#pragma once

// Moves legacy files to the age format without a byte of plaintext reaching a disk: each
// legacy file is decrypted in memory straight into its age file, NAME.age. That file counts
// only once it has been read back from the disk and opened whole (header MAC, every chunk,
// and for a passphrase its scrypt stanza too) to a plaintext of the same SHA-256; only then
// is it committed, without replacing anything, and only then may the original be removed.
// NAME.age allows no one what NAME does not (its owner may always read and write it). An age
// file met as input is passed over; a NAME.age that exists already is checked, and
// counts as done when it opens to the same plaintext, so a run that was stopped is finished
// by running it again.

#include <sys/types.h>

#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "age/agefile.h"
#include "batch/batchrun.h"
#include "platform/secretbytes.h"

struct ResealSettings {
    SecretBytes legacyPassphrase;              // as the legacy format hashes it
    std::optional<std::string> cipher;         // an algorithm; nullopt: each file's check block tells
    AgeProtection protection;                  // of the new files
    Unlocking unlocking;                       // opens them again: the new passphrase, or identities
    std::optional<std::string> outputFolder;   // nullopt: each NAME.age beside its NAME
    std::optional<std::string> outputPath;     // one file's age file, named as its user chose
    bool deleteOriginals = false;
};

// The age files a run has made, by their identity (a name met again through another path is
// the same file).
class MadeFiles {
public:
    void Add(const std::string& path);
    bool Has(const std::string& path) const;

private:
    mutable std::mutex mutex_;
    std::set<std::pair<dev_t, ino_t>> identities_;
};

class ResealTask final : public BatchTask {
public:
    explicit ResealTask(ResealSettings settings) : settings_(std::move(settings)) {}
    FileReport Run(const BatchFile& file, const BatchJob& job) const override;
    std::optional<std::string> OutputOf(const BatchFile& file) const override;

private:
    ResealSettings settings_;
    mutable MadeFiles made_;  // a NAME.age this run made is no file "done before this run"
};

// The same move for one file, into the age file outputName, on the calling thread.
FileReport ResealFileTo(const std::string& inputName, const std::string& outputName, ResealSettings settings,
                        const BatchJob& job);
