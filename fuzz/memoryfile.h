#pragma once

// A file in memory (memfd_create) that a fuzz target hands to the file procedure by the name
// of its descriptor, /proc/self/fd/N: the procedure reads and writes it through the host calls
// as any file, without a disk, a flush or a rename.

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "property.h"

class MemoryFile {
public:
    MemoryFile() : fd_(::memfd_create("zorvanta-fuzz", MFD_CLOEXEC)) { Require(fd_ >= 0, "a memory file"); }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // The name the procedure opens it by; it shares the file's offset, which starts at 0.
    const std::string& Name() const { return name_; }

    // Makes bytes the whole file, to be read from its start.
    void Hold(const std::vector<std::uint8_t>& bytes)
    {
        const auto size = static_cast<ssize_t>(bytes.size());
        Require(::ftruncate(fd_, 0) == 0 && ::pwrite(fd_, bytes.data(), bytes.size(), 0) == size &&
                    ::lseek(fd_, 0, SEEK_SET) == 0,
                "a memory file takes its bytes");
    }

    std::vector<std::uint8_t> Bytes() const
    {
        struct stat info;
        Require(::fstat(fd_, &info) == 0, "a memory file's size");
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
        Require(::pread(fd_, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()),
                "a memory file reads");
        return bytes;
    }

private:
    int fd_;
    std::string name_ = "/proc/self/fd/" + std::to_string(fd_);
};
