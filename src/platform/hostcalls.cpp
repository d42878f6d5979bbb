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
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = WaitingCall(fd, POLLIN, [&] { return calls.read(fd, buffer + done, count - done); });
        if (n < 0) {
            if (errno == EINTR) continue;
            throw IoError::FromErrno(errno);
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void WriteFull(int fd, const std::uint8_t* buffer, std::size_t count, const SystemCalls& calls)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = WaitingCall(fd, POLLOUT, [&] { return calls.write(fd, buffer + done, count - done); });
        if (n < 0) {
            if (errno == EINTR) continue;
            throw IoError::FromErrno(errno);
        }
        if (n == 0) throw IoError(iocode::kDiskFull);
        done += static_cast<std::size_t>(n);
    }
}
