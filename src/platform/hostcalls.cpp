#include "platform/hostcalls.h"

#include <fcntl.h>
#include <stdio.h>

#include <poll.h>

#include <cerrno>

#include "platform/ioerror.h"
#include "platform/stoprequest.h"

int HostOpenAt(int folder, const char* name, int flags, mode_t mode)
{
    return ::openat(folder, name, flags, mode);
}

const SystemCalls& HostCalls()
{
    static constexpr SystemCalls calls{::read, ::write, ::fsync, ::close, ::renameat2};
    return calls;
}

namespace {
// A read or write that a stop request ends, when it interrupts the call or the wait before it.
template <class Call>
ssize_t WaitingCall(int fd, short events, Call call)
{
    ssize_t n;
    {
        const StreamWait wait(fd, events);
        n = call();
    }
    if (n < 0 && errno == EINTR) ThrowIfStopRequested();
    return n;
}

// Calls move(done) until count bytes have moved or a call moves none; returns how many moved.
template <class Move>
std::size_t MoveAll(std::size_t count, Move move)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = move(done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw IoError::FromErrno(errno);
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}
}  // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.Release();
    }
    return *this;
}

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0) ::close(fd_);
}

int FileDescriptor::Release() noexcept
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void FileDescriptor::Close(const SystemCalls& calls)
{
    if (calls.close(Release()) != 0 && errno != EINTR) throw IoError::FromErrno(errno);
}

std::size_t ReadFull(int fd, std::uint8_t* buffer, std::size_t count, const SystemCalls& calls)
{
    return MoveAll(count, [&](std::size_t done) {
        return WaitingCall(fd, POLLIN, [&] { return calls.read(fd, buffer + done, count - done); });
    });
}

void WriteFull(int fd, const std::uint8_t* buffer, std::size_t count, const SystemCalls& calls)
{
    const std::size_t written = MoveAll(count, [&](std::size_t done) {
        return WaitingCall(fd, POLLOUT, [&] { return calls.write(fd, buffer + done, count - done); });
    });
    if (written < count) throw IoError(iocode::kDiskFull);
}

std::size_t ReadFullAt(int fd, std::uint8_t* buffer, std::size_t count, std::uint64_t offset, const SystemCalls& calls)
{
    return MoveAll(count, [&](std::size_t done) {
        return calls.pread(fd, buffer + done, count - done, static_cast<off_t>(offset + done));
    });
}

void WriteFullAt(int fd, const std::uint8_t* buffer, std::size_t count, std::uint64_t offset, const SystemCalls& calls)
{
    const std::size_t written = MoveAll(count, [&](std::size_t done) {
        return calls.pwrite(fd, buffer + done, count - done, static_cast<off_t>(offset + done));
    });
    if (written < count) throw IoError(iocode::kDiskFull);
}
