#pragma once

// The file procedure's access to the host: whole reads and writes that retry interrupted
// calls, and an output that only replaces its target once everything is written.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The host calls whose failures the file layer reports. Callers pass a table in, so tests
// inject failures into one run without touching any other.
struct SystemCalls {
    ssize_t (*read)(int fd, void* buffer, std::size_t count);
    ssize_t (*write)(int fd, const void* buffer, std::size_t count);
    int (*fsync)(int fd);
    int (*close)(int fd);  // where its failure is reported
    int (*rename)(const char* from, const char* to);
};
// The host's own calls.
const SystemCalls& HostCalls();

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    ~FileDescriptor();

    int get() const noexcept { return fd_; }
    int Release() noexcept;
    // Closes and reports a failure of close itself (a delayed write error) as IoError.
    void Close(const SystemCalls& calls = HostCalls());

private:
    int fd_ = -1;
};

// Reads until count bytes or the end of the file; returns how many were read. Raises IoError.
std::size_t ReadFull(int fd, std::uint8_t* buffer, std::size_t count, const SystemCalls& calls = HostCalls());
// Writes all count bytes or raises IoError (a write that stores nothing counts as a full disk).
void WriteFull(int fd, const std::uint8_t* buffer, std::size_t count, const SystemCalls& calls = HostCalls());

// An existing file opened for reading only; nullopt when it cannot be opened or is a directory.
struct InputFile {
    FileDescriptor fd;
    struct stat info;
};
std::optional<InputFile> OpenInput(const std::string& name);

// Where the output goes. A regular or missing target is written under a temporary name in
// the same folder, flushed to the disk and renamed into place by Commit; anything else (a
// device, a pipe) is written directly. Without Commit the temporary file is removed and the
// target is untouched.
class OutputFile {
public:
    // nullopt when the target cannot be written: a missing folder, no permission, a directory.
    static std::optional<OutputFile> Open(const std::string& name, const SystemCalls& calls = HostCalls());
    // True when name refers to the file that is already open as input.
    static bool IsSameFile(const std::string& name, const struct stat& input);

    OutputFile(OutputFile&& other) noexcept;
    ~OutputFile();

    // Writes all count bytes or raises IoError.
    void Write(const std::uint8_t* buffer, std::size_t count) { WriteFull(fd_.get(), buffer, count, *calls_); }
    void Commit();

private:
    OutputFile(FileDescriptor fd, std::string temporaryName, std::string targetName, const SystemCalls& calls)
        : fd_(std::move(fd)), temporaryName_(std::move(temporaryName)), targetName_(std::move(targetName)),
          calls_(&calls)
    {
    }

    FileDescriptor fd_;
    std::string temporaryName_;  // empty when writing the target directly
    std::string targetName_;
    const SystemCalls* calls_;
};
