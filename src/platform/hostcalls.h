#pragma once

// The host calls of the file layer: whole reads and writes that retry interrupted calls, and
// descriptors that close themselves.

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

int HostOpenAt(int folder, const char* name, int flags, mode_t mode);

// The host calls whose failures the file layer reports. Callers pass a table in, so tests
// inject failures into one run without touching any other. The members after renameat2
// default to the host's own calls, so a table may name only the first five.
struct SystemCalls {
    ssize_t (*read)(int fd, void* buffer, std::size_t count);
    ssize_t (*write)(int fd, const void* buffer, std::size_t count);
    int (*fsync)(int fd);
    int (*close)(int fd);  // where its failure is reported
    // Moves a temporary name to the output's, with RENAME_NOREPLACE where it may not replace a file.
    int (*renameat2)(int fromFolder, const char* from, int toFolder, const char* to, unsigned int flags);
    // Creates the new output (O_TMPFILE, or a named temporary file with O_CREAT | O_EXCL).
    int (*openat)(int folder, const char* name, int flags, mode_t mode) = HostOpenAt;
    int (*linkat)(int fromFolder, const char* from, int toFolder, const char* to, int flags) = ::linkat;
    int (*fchown)(int fd, uid_t owner, gid_t group) = ::fchown;
    int (*fchmod)(int fd, mode_t mode) = ::fchmod;
    // Reads and writes at a place of a regular file, for threads that share it.
    ssize_t (*pread)(int fd, void* buffer, std::size_t count, off_t offset) = ::pread;
    ssize_t (*pwrite)(int fd, const void* buffer, std::size_t count, off_t offset) = ::pwrite;
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

// Reads until count bytes or the end of the file; returns how many were read. Raises IoError,
// or StopRequested when a stop request ends a wait on a stream (stoprequest.h).
std::size_t ReadFull(int fd, std::uint8_t* buffer, std::size_t count, const SystemCalls& calls = HostCalls());
// Writes all count bytes or raises IoError (a write that stores nothing counts as a full disk),
// or StopRequested as ReadFull does.
void WriteFull(int fd, const std::uint8_t* buffer, std::size_t count, const SystemCalls& calls = HostCalls());
// The same at offset of a regular file, which never waits; the descriptor's own offset stays.
std::size_t ReadFullAt(int fd, std::uint8_t* buffer, std::size_t count, std::uint64_t offset,
                       const SystemCalls& calls = HostCalls());
void WriteFullAt(int fd, const std::uint8_t* buffer, std::size_t count, std::uint64_t offset,
                 const SystemCalls& calls = HostCalls());
