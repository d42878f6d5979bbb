#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "report.h"

struct EndToEndSettings {
    std::filesystem::path folder;  // best a tmpfs, so that the disk does not count
    int repetitions = 3;
    std::uintmax_t cipherFileMiB = 64;  // the file each cipher encrypts and decrypts
    bool aesFiles = true;  // AES-256 on 256 MiB against cp and openssl enc, and the peak memory on 1 GiB
};

// Times whole zorvanta-cli processes on files against the peers' in-memory CBC speeds in
// results, against openssl enc and against cp, and takes zorvanta-cli's peak memory. Prints
// its tables with PASS or MISS against the targets; false when it could not run.
bool RunEndToEndBench(const std::vector<CipherResult>& results, const EndToEndSettings& settings);
