#pragma once

#include <filesystem>
#include <string>

#include "support/testdata.h"

// A fresh folder for one test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path(const std::string& name) const { return (root_ / name).string(); }
    const std::filesystem::path& root() const { return root_; }
    // Names of every entry of the folder, sorted.
    std::vector<std::string> Entries() const;

private:
    std::filesystem::path root_;
};

void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);
// The whole file as text; empty when it cannot be read (a process that wrote nothing).
std::string TextOf(const std::string& path);
// size bytes that repeat at no short period, unlike for every seed.
Bytes Sample(std::size_t size, std::uint8_t seed = 0);
