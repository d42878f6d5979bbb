// Preloaded (LD_PRELOAD) into zorvanta-cli by the program tests, to bring about what a test
// cannot arrange from outside, and linked into a test program that needs a hook only from some
// point of its run on. Each hook is off unless its variable is set:
//   ZORVANTA_SHIM_NO_TMPFILE=1   the file system has no anonymous files (O_TMPFILE fails)
//   ZORVANTA_SHIM_HOLD_FSYNC=DIR the first flush of a regular file creates DIR/held and waits
//                                until DIR/go exists, so a test acts while a commit is on hold
//   ZORVANTA_SHIM_HOLD_FOLDER_FSYNC=DIR  the same for the first flush of a folder
//   ZORVANTA_SHIM_THREADS=N      only the first N threads start; later ones fail with EAGAIN
//   ZORVANTA_SHIM_NO_MODES=1     the file system keeps no modes (fchmod fails with EPERM)
//   ZORVANTA_SHIM_UNREADABLE=NAME  opening a file of that last name fails with EACCES (tests run
//                                as root, whom a mode of 000 does not stop)
//   ZORVANTA_SHIM_DISK_FULL_AFTER=N  the disk fills: once N bytes have been written to regular
//                                files other than the standard streams, such writes (write and
//                                pwrite) fail with ENOSPC
//   ZORVANTA_SHIM_NO_LEASE=1     no lease can be taken (F_SETLEASE fails with EACCES, as for a
//                                file of another owner)
//   ZORVANTA_SHIM_LOG=FILE       each flush of a folder and each removal of a name is added to FILE,
//                                as a line "sync PATH" or "unlink PATH", in the order they happen
// or, for the threads, until the program calls ZorvantaShimAllowThreads(N): from then on only N
// more threads start (N < 0: any number). ZorvantaShimRefusedThreads() tells how many have failed.
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {
template <class Function>
Function Next(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

const char* Setting(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

bool IsUnreadable(const char* path)
{
    const char* name = Setting("ZORVANTA_SHIM_UNREADABLE");
    if (!name) return false;
    const char* slash = std::strrchr(path, '/');
    return std::strcmp(slash ? slash + 1 : path, name) == 0;
}

int OpenAtVia(const char* symbol, int folder, const char* name, int flags, mode_t mode)
{
    using OpenAt = int (*)(int, const char*, int, ...);
    static const OpenAt next = Next<OpenAt>(symbol);
    if ((flags & O_TMPFILE) == O_TMPFILE && Setting("ZORVANTA_SHIM_NO_TMPFILE")) return errno = EOPNOTSUPP, -1;
    if (IsUnreadable(name)) return errno = EACCES, -1;
    return next(folder, name, flags, mode);
}

// How many of count bytes may still be written to fd before the disk is full; all of them
// when the disk does not fill or fd is not a regular file.
std::size_t RoomFor(int fd, std::size_t count)
{
    static std::atomic<unsigned long long> written{0};
    const char* limit = Setting("ZORVANTA_SHIM_DISK_FULL_AFTER");
    struct stat info;
    if (!limit || fd <= STDERR_FILENO || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return count;
    const unsigned long long full = std::strtoull(limit, nullptr, 10);
    unsigned long long before = written.load();
    std::size_t room;
    do {
        room = before >= full ? 0 : static_cast<std::size_t>(std::min<unsigned long long>(count, full - before));
    } while (!written.compare_exchange_weak(before, before + room));
    return room;
}

mode_t ModeArgument(int flags, va_list arguments)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

// Adds "what path" as a line to the log, when there is one.
void Log(const char* what, const std::string& path)
{
    const char* log = Setting("ZORVANTA_SHIM_LOG");
    if (!log) return;
    using OpenAt = int (*)(int, const char*, int, ...);
    static const OpenAt next = Next<OpenAt>("openat");
    const int fd = next(AT_FDCWD, log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    const std::string line = std::string(what) + " " + path + "\n";
    static const auto write = Next<ssize_t (*)(int, const void*, size_t)>("write");
    (void)write(fd, line.data(), line.size());
    ::close(fd);
}

std::string PathOf(int fd)
{
    char path[4096];
    const ssize_t length = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

void HoldFirstFlush(int fd)
{
    static std::atomic<bool> heldFile{false}, heldFolder{false};
    struct stat info;
    if (::fstat(fd, &info) != 0) return;
    const bool isFolder = S_ISDIR(info.st_mode);
    const char* folder = Setting(isFolder ? "ZORVANTA_SHIM_HOLD_FOLDER_FSYNC" : "ZORVANTA_SHIM_HOLD_FSYNC");
    if (!folder || (isFolder ? heldFolder : heldFile).exchange(true)) return;
    const std::string base(folder);
    ::close(::open((base + "/held").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600));
    while (::access((base + "/go").c_str(), F_OK) != 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

using Fcntl = int (*)(int, int, ...);

int FcntlVia(Fcntl next, int fd, int command, void* argument)
{
    const bool takesLease = command == F_SETLEASE && reinterpret_cast<std::intptr_t>(argument) != F_UNLCK;
    if (takesLease && Setting("ZORVANTA_SHIM_NO_LEASE")) return errno = EACCES, -1;
    return next(fd, command, argument);
}

// The threads that may still start; below 0, any number.
std::atomic<long>& ThreadsLeft()
{
    static std::atomic<long> left{[] {
        const char* limit = Setting("ZORVANTA_SHIM_THREADS");
        return limit ? std::atol(limit) : -1L;
    }()};
    return left;
}

std::atomic<long> refusedThreads{0};  // so that a test sees it refused what it meant to

// Counts a thread about to start off the threads left; false, and counted as refused, when none
// is left.
bool TakeThread()
{
    long left = ThreadsLeft().load();
    do {
        if (left < 0) return true;
        if (left == 0) {
            ++refusedThreads;
            return false;
        }
    } while (!ThreadsLeft().compare_exchange_weak(left, left - 1));
    return true;
}
}  // namespace

extern "C" {
int openat(int folder, const char* name, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    return OpenAtVia("openat", folder, name, flags, mode);
}

int openat64(int folder, const char* name, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    return OpenAtVia("openat64", folder, name, flags, mode);
}

int open(const char* name, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    static const auto next = Next<int (*)(const char*, int, ...)>("open");
    if (IsUnreadable(name)) return errno = EACCES, -1;
    return next(name, flags, mode);
}

ssize_t write(int fd, const void* buffer, size_t count)
{
    static const auto next = Next<ssize_t (*)(int, const void*, size_t)>("write");
    const std::size_t room = RoomFor(fd, count);
    if (room == 0 && count > 0) return errno = ENOSPC, -1;
    return next(fd, buffer, room);
}

ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset)
{
    static const auto next = Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
    const std::size_t room = RoomFor(fd, count);
    if (room == 0 && count > 0) return errno = ENOSPC, -1;
    return next(fd, buffer, room, offset);
}

ssize_t pwrite64(int fd, const void* buffer, size_t count, off_t offset)
{
    return pwrite(fd, buffer, count, offset);
}

int fsync(int fd)
{
    static const auto next = Next<int (*)(int)>("fsync");
    HoldFirstFlush(fd);
    struct stat info;
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) Log("sync", PathOf(fd));
    return next(fd);
}

int unlink(const char* name)
{
    static const auto next = Next<int (*)(const char*)>("unlink");
    Log("unlink", name);
    return next(name);
}

// fcntl's argument is an int or a pointer, passed alike; a command without one passes none,
// and what is read in its place goes unused, as in the C library's own fcntl.
int fcntl(int fd, int command, ...)
{
    static const auto next = Next<Fcntl>("fcntl");
    va_list arguments;
    va_start(arguments, command);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return FcntlVia(next, fd, command, argument);
}

int fcntl64(int fd, int command, ...)
{
    static const auto next = Next<Fcntl>("fcntl64");
    va_list arguments;
    va_start(arguments, command);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    return FcntlVia(next, fd, command, argument);
}

int fchmod(int fd, mode_t mode)
{
    static const auto next = Next<int (*)(int, mode_t)>("fchmod");
    if (Setting("ZORVANTA_SHIM_NO_MODES")) return errno = EPERM, -1;
    return next(fd, mode);
}

void ZorvantaShimAllowThreads(long count)
{
    ThreadsLeft() = count;
}

long ZorvantaShimRefusedThreads()
{
    return refusedThreads;
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*), void* argument)
{
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    static const Create next = Next<Create>("pthread_create");
    if (!TakeThread()) return EAGAIN;
    return next(thread, attributes, start, argument);
}
}
