#pragma once

// The files a fuzz target works on: one folder per process, on a memory file system where
// there is one (so that flushing to the disk costs nothing), removed when the process ends.

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "property.h"

inline const std::filesystem::path& ScratchFolder()
{
    static const std::filesystem::path folder = [] {
        const std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/zorvanta-fuzz-XXXXXX";
        Require(::mkdtemp(pattern.data()) != nullptr, "a work folder");
        std::atexit([] { std::filesystem::remove_all(ScratchFolder()); });
        return std::filesystem::path(pattern);
    }();
    return folder;
}

inline std::string PathOf(const char* name)
{
    return (ScratchFolder() / name).string();
}

inline void Write(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()),
                                                                   static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// How many files the folder holds.
inline std::size_t Entries()
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(ScratchFolder()), {}));
}
