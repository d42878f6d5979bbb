#pragma once

// The files a fuzz target works on: one folder per process, on a memory file system where
// there is one (so that flushing to the disk costs nothing), removed when the process ends.
// ZORVANTA_FUZZ_SCRATCH names another place for it.

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "property.h"

// The folder removes itself as the process ends, while its path still exists (a removal
// registered with atexit while the path was being made would run after the path is gone).
class Scratch {
public:
    Scratch()
    {
        const char* chosen = std::getenv("ZORVANTA_FUZZ_SCRATCH");
        const std::string base = chosen ? chosen : std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/zorvanta-fuzz-XXXXXX";
        Require(::mkdtemp(pattern.data()) != nullptr, "a work folder");
        path_ = pattern;
    }
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline const std::filesystem::path& ScratchFolder()
{
    static const Scratch folder;
    return folder.path();
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
