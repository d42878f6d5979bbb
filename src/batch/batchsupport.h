#pragma once

// What the batch tasks share: where an output goes and digests of what passes through.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "age/agecrypto.h"
#include "batch/batchrun.h"
#include "batch/batchwalk.h"
#include "pipeline/bytestream.h"
#include "pipeline/runfiles.h"
#include "platform/secretbytes.h"

// A file's output before any suffix: beside the file, or under folder at the file's place
// below the path it was found under.
std::string OutputPathFor(const BatchFile& file, const std::optional<std::string>& folder);
// Creates the folders an output of file in folder needs (folder itself too), as mkdir -p, each
// with the mode of the folder it mirrors; the host's reason when one cannot be made.
std::optional<int> CreateFoldersFor(const BatchFile& file, const std::string& outputPath,
                                    const std::optional<std::string>& folder);
// Flushes every folder on path's way, up to the root or the working folder, so that folders
// made for it last through a crash as surely as it does.
void SyncFoldersOf(const std::string& path);
bool Exists(const std::string& path);

// Opens a batch's file and takes its first peekBytes; the skip that tells why it does not open.
std::variant<RunInput, FileReport> OpenBatchInput(const BatchFile& file, std::size_t peekBytes,
                                                  const FileOpOptions& options);

// Opens file's output at path, making the folders it needs under folder; the skip that tells
// why not (its own input, written in place by another run, a file or folder that cannot be
// made). Raises OutputExists for an existing file that may not be replaced.
std::variant<RunOutput, FileReport> OpenBatchOutput(const BatchFile& file, const RunInput& input,
                                                    const std::string& path,
                                                    const std::optional<std::string>& folder,
                                                    OutputFile::Existing existing, const FileOpOptions& options);

// A skipped file, and why.
FileReport Skip(std::string reason);

// Hands out what source gives, adding it to a digest.
class HashingSource final : public ByteSource {
public:
    explicit HashingSource(ByteSource& source) : source_(source) {}
    std::size_t Read(std::uint8_t* buffer, std::size_t count) override;
    std::uint64_t Position() const override { return source_.Position(); }
    Sha256::Digest Finish() { return digest_.Finish(); }

private:
    ByteSource& source_;
    Sha256 digest_;
};

// Keeps only the digest of what it is given.
class HashingSink final : public ByteSink {
public:
    void Write(const std::uint8_t* buffer, std::size_t count) override { digest_.Update(buffer, count); }
    Sha256::Digest Finish() { return digest_.Finish(); }

private:
    Sha256 digest_;
};
