#include "platform/posixfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/ioerror.h"

const SystemCalls& HostCalls()
{
    static constexpr SystemCalls calls{::read, ::write, ::fsync, ::close, ::rename};
    return calls;
}

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
        const ssize_t n = calls.read(fd, buffer + done, count - done);
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
        const ssize_t n = calls.write(fd, buffer + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw IoError::FromErrno(errno);
        }
        if (n == 0) throw IoError(iocode::kDiskFull);
        done += static_cast<std::size_t>(n);
    }
}

std::optional<InputFile> OpenInput(const std::string& name)
{
    InputFile input{FileDescriptor(::open(name.c_str(), O_RDONLY | O_CLOEXEC)), {}};
    if (input.fd.get() < 0 || ::fstat(input.fd.get(), &input.info) != 0 || S_ISDIR(input.info.st_mode))
        return std::nullopt;
    return input;
}

namespace {
std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name a symbolic link leads to, so that the link survives and its target is replaced.
std::string Resolved(const std::string& name)
{
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(name.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : name;
}

mode_t ModeForNewFiles()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}
}  // namespace

bool OutputFile::IsSameFile(const std::string& name, const struct stat& input)
{
    struct stat info;
    return ::stat(name.c_str(), &info) == 0 && info.st_dev == input.st_dev && info.st_ino == input.st_ino;
}

std::optional<OutputFile> OutputFile::Open(const std::string& name, const SystemCalls& calls)
{
    struct stat existing;
    const bool exists = ::stat(name.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return std::nullopt;
    if (exists && !S_ISREG(existing.st_mode)) {
        FileDescriptor direct(::open(name.c_str(), O_WRONLY | O_CLOEXEC));
        if (direct.get() < 0) return std::nullopt;
        return OutputFile(std::move(direct), {}, name, calls);
    }
    if (exists) {
        // The target must be writable as it is, though it is only replaced at the end.
        if (FileDescriptor probe(::open(name.c_str(), O_WRONLY | O_CLOEXEC)); probe.get() < 0) return std::nullopt;
    }

    const std::string target = exists ? Resolved(name) : name;
    // Long names are shortened so that the temporary name stays within the folder's limit.
    std::string temporary = FolderOf(target) + "/." + BaseOf(target).substr(0, NAME_MAX - 32) + ".zorvanta-XXXXXX";
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) return std::nullopt;
    if (exists) {
        [[maybe_unused]] const int owned = ::fchown(fd.get(), existing.st_uid, existing.st_gid);  // best effort
        ::fchmod(fd.get(), existing.st_mode & 07777);
    } else {
        ::fchmod(fd.get(), ModeForNewFiles());
    }
    return OutputFile(std::move(fd), std::move(temporary), target, calls);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::move(other.fd_)), temporaryName_(std::exchange(other.temporaryName_, {})),
      targetName_(std::move(other.targetName_)), calls_(other.calls_)
{
}

OutputFile::~OutputFile()
{
    if (!temporaryName_.empty()) ::unlink(temporaryName_.c_str());
}

void OutputFile::Commit()
{
    // The new bytes must be on the disk before they replace the old file: a crash after the
    // rename must not leave an empty or partial file where a good one was.
    if (!temporaryName_.empty() && calls_->fsync(fd_.get()) != 0) throw IoError::FromErrno(errno, targetName_);
    fd_.Close(*calls_);
    if (temporaryName_.empty()) return;
    if (calls_->rename(temporaryName_.c_str(), targetName_.c_str()) != 0) throw IoError::FromErrno(errno, targetName_);
    temporaryName_.clear();
}
