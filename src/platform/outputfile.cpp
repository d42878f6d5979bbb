#include "platform/outputfile.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <utility>

#include "platform/ioerror.h"
#include "platform/ownstream.h"
#include "platform/xattrcopy.h"

struct OutputFile::Target {
    std::string path;         // links resolved
    FileDescriptor existing;  // the replaced file, open for writing; -1 for a new file
    struct stat info {};      // of existing
    bool replacing() const { return existing.get() >= 0; }
};

namespace {
constexpr int kNameAttempts = 100;

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

// The file a chain of symbolic links ends at, so that the links survive and their target is
// replaced.
std::string Resolved(const std::string& name)
{
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(name.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : name;
}

bool IsSymbolicLink(const std::string& name)
{
    struct stat info;
    return ::lstat(name.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// A fresh hidden name beside target; long names are shortened to stay within the folder's limit.
std::string TemporaryNameFor(const std::string& target)
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::minstd_rand random(std::random_device{}());
    std::string name = "." + BaseOf(target).substr(0, NAME_MAX - 32) + ".zorvanta-";
    for (int i = 0; i < 6; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    return name;
}

// Read without changing it: umask() would race with other threads creating files.
mode_t ProcessUmask()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Umask:")) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    return 022;
}

bool ProcAvailable()
{
    return ::access("/proc/self/fd", X_OK) == 0;
}

bool FolderRefused(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

bool TemporaryFilesUnsupported(int error)
{
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}
}  // namespace

bool OutputFile::IsSameFile(const std::string& name, const struct stat& input)
{
    struct stat info;
    return ::stat(name.c_str(), &info) == 0 && info.st_dev == input.st_dev && info.st_ino == input.st_ino;
}

std::optional<OutputFile> OutputFile::Open(const std::string& name, const SystemCalls& calls)
{
    if (const auto own = OwnDescriptorNamedBy(name)) {
        auto copy = DuplicateOwnDescriptor(*own, O_WRONLY);
        if (!copy) return std::nullopt;
        return OutputFile(Way::Direct, std::move(*copy), name, calls);
    }
    struct stat info;
    if (::stat(name.c_str(), &info) != 0) {
        // Like cp, refuse to create a file through a dangling link.
        if (errno != ENOENT || IsSymbolicLink(name)) return std::nullopt;
        return CreateBeside(Target{name, {}, {}}, calls);
    }
    if (S_ISDIR(info.st_mode)) return std::nullopt;
    if (S_ISREG(info.st_mode)) return OpenRegular(name, calls);
    FileDescriptor device(::open(name.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (device.get() < 0) return std::nullopt;
    return OutputFile(Way::Direct, std::move(device), name, calls);
}

std::optional<OutputFile> OutputFile::OpenRegular(const std::string& name, const SystemCalls& calls)
{
    Target target{Resolved(name), {}, {}};
    // The target must be writable as it is, though it is usually replaced by a rename.
    target.existing = FileDescriptor(::open(target.path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (target.existing.get() < 0 || ::fstat(target.existing.get(), &target.info) != 0 ||
        !S_ISREG(target.info.st_mode))
        return std::nullopt;
    // A rename would leave the other names with the old bytes.
    if (target.info.st_nlink > 1) return OutputFile(Way::InPlace, std::move(target.existing), target.path, calls);
    return CreateBeside(target, calls);
}

std::optional<OutputFile> OutputFile::CreateBeside(const Target& target, const SystemCalls& calls)
{
    const auto inPlaceOrNothing = [&]() -> std::optional<OutputFile> {
        if (!target.replacing()) return std::nullopt;
        FileDescriptor existing(::fcntl(target.existing.get(), F_DUPFD_CLOEXEC, 0));
        if (existing.get() < 0) return std::nullopt;
        return OutputFile(Way::InPlace, std::move(existing), target.path, calls);
    };
    const std::string folderPath = FolderOf(target.path);
    FileDescriptor folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) return inPlaceOrNothing();

    OutputFile output(Way::Anonymous, FileDescriptor(), target.path, calls);
    output.folder_ = std::move(folder);
    output.folderPath_ = folderPath;
    int error = ProcAvailable() ? output.CreateAnonymous() : EOPNOTSUPP;
    if (TemporaryFilesUnsupported(error)) error = output.CreateNamed();
    if (error != 0) return FolderRefused(error) ? inPlaceOrNothing() : std::nullopt;
    if (target.replacing()) {
        if (!output.CarryOver(target)) return inPlaceOrNothing();  // output's destructor removes the new file
        output.finalMode_ = target.info.st_mode & 07777;
    }
    return output;
}

// Returns 0 or the errno of the failure.
int OutputFile::CreateAnonymous()
{
    // Mode 0666 lets the host apply the umask and the folder's default ACL; the result is
    // learned for Commit while the nameless file, which nobody else can open, stays private.
    fd_ = FileDescriptor(calls_->openat(folder_.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
    struct stat created;
    if (fd_.get() < 0 || ::fstat(fd_.get(), &created) != 0 || ::fchmod(fd_.get(), 0600) != 0) {
        const int error = errno;
        fd_ = FileDescriptor();
        return error;
    }
    way_ = Way::Anonymous;
    finalMode_ = created.st_mode & 07777;
    return 0;
}

// The fallback where the file system has no anonymous files: a hidden name, armed for removal
// from before it exists. Its mode is the umask's alone (a default ACL of the folder still
// sets the ACL entries).
int OutputFile::CreateNamed()
{
    way_ = Way::Named;
    finalMode_ = 0666 & ~ProcessUmask();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = TemporaryNameFor(targetPath_);
        cleanup_ = CleanupSlot(folder_.get(), name);
        fd_ = FileDescriptor(calls_->openat(folder_.get(), name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600));
        if (fd_.get() >= 0) {
            temporaryName_ = std::move(name);
            return 0;
        }
        if (errno != EEXIST) break;
    }
    const int error = errno;
    cleanup_.Disarm();
    return error;
}

// Owner and group first, since a later chmod restores the set-id bits that chown clears.
bool OutputFile::CarryOver(const Target& target)
{
    struct stat created;
    if (::fstat(fd_.get(), &created) != 0) return false;
    if ((created.st_uid != target.info.st_uid || created.st_gid != target.info.st_gid) &&
        calls_->fchown(fd_.get(), target.info.st_uid, target.info.st_gid) != 0)
        return false;
    // An ACL set now keeps its named entries through the chmods; the final chmod gives its
    // mask back, so it ends as the replaced file's.
    return CopyExtendedAttributes(target.existing.get(), fd_.get());
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::move(other.fd_)), way_(other.way_), calls_(other.calls_), folder_(std::move(other.folder_)),
      folderPath_(std::move(other.folderPath_)), targetPath_(std::move(other.targetPath_)),
      temporaryName_(std::exchange(other.temporaryName_, {})), cleanup_(std::move(other.cleanup_)),
      finalMode_(other.finalMode_), truncated_(other.truncated_)
{
}

OutputFile::~OutputFile()
{
    if (!temporaryName_.empty()) ::unlinkat(folder_.get(), temporaryName_.c_str(), 0);
}

void OutputFile::TruncateOnce()
{
    if (way_ != Way::InPlace || truncated_) return;
    if (::ftruncate(fd_.get(), 0) != 0) throw IoError::FromErrno(errno, targetPath_);
    truncated_ = true;
}

void OutputFile::Write(const std::uint8_t* buffer, std::size_t count)
{
    TruncateOnce();
    try {
        WriteFull(fd_.get(), buffer, count, *calls_);
    } catch (const IoError& e) {
        throw IoError(e.code(), e.hostError(), targetPath_);
    }
}

// A failing close reports a delayed write error.
void OutputFile::Close()
{
    if (calls_->close(fd_.Release()) != 0 && errno != EINTR) throw IoError::FromErrno(errno, targetPath_);
}

void OutputFile::Commit()
{
    if (way_ == Way::Direct) {
        Close();
        return;
    }
    TruncateOnce();
    // The new bytes must be on the disk before they replace the old file: a crash after the
    // rename must not leave an empty or partial file where a good one was.
    if (calls_->fsync(fd_.get()) != 0) throw IoError::FromErrno(errno, targetPath_);
    if (way_ == Way::InPlace) {
        Close();
        return;
    }
    if (::fchmod(fd_.get(), finalMode_) != 0) throw IoError::FromErrno(errno, targetPath_);
    if (way_ == Way::Anonymous) NameAnonymous();
    ReplaceTarget();
}

// Gives the finished anonymous file a temporary name (linkat cannot replace a file), armed
// for removal from before it exists, and makes that name durable.
void OutputFile::NameAnonymous()
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
    for (int attempt = 0;; ++attempt) {
        std::string name = TemporaryNameFor(targetPath_);
        cleanup_ = CleanupSlot(folder_.get(), name);
        if (calls_->linkat(AT_FDCWD, self.c_str(), folder_.get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            temporaryName_ = std::move(name);
            way_ = Way::Named;
            break;
        }
        if (errno != EEXIST || attempt + 1 == kNameAttempts) {
            const int error = errno;
            cleanup_.Disarm();
            throw IoError::FromErrno(error, targetPath_);
        }
    }
    if (calls_->fsync(folder_.get()) != 0) throw IoError::FromErrno(errno, targetPath_);
}

void OutputFile::ReplaceTarget()
{
    Close();
    const std::string from = folderPath_ + "/" + temporaryName_;
    if (calls_->rename(from.c_str(), targetPath_.c_str()) != 0) throw IoError::FromErrno(errno, targetPath_);
    temporaryName_.clear();
    cleanup_.Disarm();
    // Best effort: the target is replaced already, and a report now would claim it was not.
    ::fsync(folder_.get());
}
