#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <vector>

#include "report.h"

struct EndToEndSettings {
    std::filesystem::path folder;  // best a tmpfs, so that the disk does not count
    int repetitions = 3;
    std::uintmax_t cipherFileMiB = 64;  // the file each cipher encrypts and decrypts
    bool aesFiles = true;  // AES-256 on 256 MiB against cp and openssl enc, and the peak memory on 1 GiB
    // Every library's in-memory CBC on one cipher, called just before our processes run it, so
    // that load from others on a shared machine weighs on both sides alike.
    std::function<CipherResult(const BenchCipher&)> measureInMemory;
};

// Times whole zorvanta-cli processes on files against the peers' in-memory CBC speeds, against
// openssl enc and against cp, and takes zorvanta-cli's peak memory. Prints its tables with PASS
// or MISS against the targets; false when it could not run.
bool RunEndToEndBench(std::span<const BenchCipher> ciphers, const EndToEndSettings& settings);
