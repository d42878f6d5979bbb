#include "platform/outputfile.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <utility>

#include "platform/fileidentity.h"
#include "platform/namedfailure.h"
#include "platform/ownstream.h"
#include "platform/stoprequest.h"
#include "platform/xattrcopy.h"

struct OutputFile::Target {
    std::string name;         // as given
    std::string path;         // links resolved
    FileDescriptor folder;    // of path, when it opens
    FileDescriptor existing;  // the replaced file, open for writing; -1 for a new file
    struct stat info {};      // of existing
    bool mayReplace = true;
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

// An Open that fails for this reason.
std::nullopt_t Failing(int error)
{
    errno = error;
    return std::nullopt;
}

FileDescriptor OpenFolder(const std::string& path)
{
    return FileDescriptor(::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}
}  // namespace

bool OutputFile::IsSameFile(const std::string& name, const struct stat& input)
{
    struct stat info;
    return ::stat(name.c_str(), &info) == 0 && SameFile(info, input);
}

std::optional<OutputFile> OutputFile::Open(const std::string& name, const SystemCalls& calls, Existing existing)
{
    // Opening a FIFO waits for its reader: a stop request ends the wait (EINTR), or comes first.
    ThrowIfStopRequested();
    if (const auto own = OwnDescriptorNamedBy(name)) {
        auto copy = DuplicateOwnDescriptor(*own, O_WRONLY);
        if (!copy) return std::nullopt;
        return OutputFile(Way::Direct, std::move(*copy), name, calls);
    }
    struct stat info;
    if (::stat(name.c_str(), &info) != 0) {
        // Like cp, refuse to create a file through a dangling link.
        if (errno != ENOENT || IsSymbolicLink(name)) return std::nullopt;
        Target target{name, name, OpenFolder(name), {}, {}, existing == Existing::Replace};
        if (target.folder.get() < 0) return std::nullopt;
        return CreateBeside(target, calls);
    }
    if (S_ISDIR(info.st_mode)) return Failing(EISDIR);
    if (S_ISREG(info.st_mode)) {
        if (existing == Existing::Refuse) return Failing(EEXIST);
        return OpenRegular(name, calls);
    }
    FileDescriptor device(::open(name.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (device.get() < 0 && errno == EINTR) ThrowIfStopRequested();
    if (device.get() < 0) return std::nullopt;
    return OutputFile(Way::Direct, std::move(device), name, calls);
}

std::optional<OutputFile> OutputFile::OpenRegular(const std::string& name, const SystemCalls& calls)
{
    Target target{name, Resolved(name), {}, {}, {}, true};
    target.folder = OpenFolder(target.path);
    // The target must be writable as it is, though it is usually replaced by a rename. Opened
    // within the folder, it is the file that the folder's name stood for at Open.
    constexpr int kFlags = O_WRONLY | O_CLOEXEC | O_NOCTTY;
    const int folder = target.folder.get();
    target.existing = FileDescriptor(folder >= 0 ? ::openat(folder, BaseOf(target.path).c_str(), kFlags | O_NOFOLLOW)
                                                 : ::open(target.path.c_str(), kFlags));
    if (target.existing.get() < 0 || ::fstat(target.existing.get(), &target.info) != 0) return std::nullopt;
    if (!S_ISREG(target.info.st_mode)) return Failing(EINVAL);
    // A rename would leave the other names with the old bytes.
    if (target.info.st_nlink > 1) return InPlace(target, calls, "it has other hard links");
    if (target.folder.get() < 0) return InPlace(target, calls, "its folder cannot be opened");
    return CreateBeside(target, calls);
}

std::optional<OutputFile> OutputFile::InPlace(const Target& target, const SystemCalls& calls, const char* reason)
{
    FileDescriptor existing(::fcntl(target.existing.get(), F_DUPFD_CLOEXEC, 0));
    if (existing.get() < 0) return std::nullopt;
    // Two runs writing one file in place at once would mix their bytes. A file system without
    // locks leaves the file unlocked.
    if (::flock(existing.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return std::nullopt;
    OutputFile output(Way::InPlace, std::move(existing), target.name, calls);
    output.inPlaceReason_ = reason;
    return output;
}

std::optional<OutputFile> OutputFile::CreateBeside(Target& target, const SystemCalls& calls)
{
    OutputFile output(Way::Anonymous, FileDescriptor(), target.name, calls);
    output.folder_ = std::move(target.folder);
    output.base_ = BaseOf(target.path);
    output.replacing_ = target.replacing();
    output.mayReplace_ = target.mayReplace;
    int error = ProcAvailable() ? output.CreateAnonymous() : EOPNOTSUPP;
    if (TemporaryFilesUnsupported(error)) error = output.CreateNamed();
    if (error != 0) {
        if (FolderRefused(error) && target.replacing()) return InPlace(target, calls, "its folder cannot be written");
        return Failing(error);
    }
    if (target.replacing()) {
        // output's destructor removes the new file
        if (!output.CarryOver(target))
            return InPlace(target, calls, "its owner, group or extended attributes cannot be carried over");
        output.finalMode_ = target.info.st_mode & 07777;
    }
    return output;
}

// Returns 0 or the errno of the failure.
int OutputFile::CreateAnonymous()
{
    // Mode 0666 lets the host apply the umask and the folder's default ACL; the result is
    // learned for Commit while the nameless file, which nobody else can open, stays private
    // where the file system keeps modes.
    fd_ = FileDescriptor(calls_->openat(folder_.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
    struct stat created;
    if (fd_.get() < 0 || ::fstat(fd_.get(), &created) != 0) {
        const int error = errno;
        fd_ = FileDescriptor();
        return error;
    }
    (void)calls_->fchmod(fd_.get(), 0600);
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
        std::string name = TemporaryNameFor(base_);
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
    : fd_(std::move(other.fd_)), way_(other.way_), calls_(other.calls_), name_(std::move(other.name_)),
      folder_(std::move(other.folder_)), base_(std::move(other.base_)), replacing_(other.replacing_),
      mayReplace_(other.mayReplace_), temporaryName_(std::exchange(other.temporaryName_, {})),
      cleanup_(std::move(other.cleanup_)), finalMode_(other.finalMode_), truncated_(other.truncated_),
      inPlaceReason_(other.inPlaceReason_), notKept_(std::move(other.notKept_))
{
}

OutputFile::~OutputFile()
{
    if (!temporaryName_.empty()) ::unlinkat(folder_.get(), temporaryName_.c_str(), 0);
}

void OutputFile::TruncateOnce()
{
    if (way_ != Way::InPlace || truncated_) return;
    if (::ftruncate(fd_.get(), 0) != 0) throw IoError::FromErrno(errno, name_);
    truncated_ = true;
}

void OutputFile::Write(const std::uint8_t* buffer, std::size_t count)
{
    TruncateOnce();
    NamingFailures(name_, [&] { WriteFull(fd_.get(), buffer, count, *calls_); });
}

void OutputFile::WriteAt(const std::uint8_t* buffer, std::size_t count, std::uint64_t offset) const
{
    NamingFailures(name_, [&] { WriteFullAt(fd_.get(), buffer, count, offset, *calls_); });
}

// A failing close reports a delayed write error.
void OutputFile::Close()
{
    if (calls_->close(fd_.Release()) != 0 && errno != EINTR) throw IoError::FromErrno(errno, name_);
}

FileDescriptor OutputFile::ReadBack()
{
    if (way_ != Way::Anonymous && way_ != Way::Named) throw ZorvantaError("only a new file can be read back");
    if (calls_->fsync(fd_.get()) != 0) throw IoError::FromErrno(errno, name_);
    (void)::posix_fadvise(fd_.get(), 0, 0, POSIX_FADV_DONTNEED);  // a hint; the bytes are the same either way
    // The copy shares the offset, which nothing written later depends on.
    FileDescriptor reader(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
    if (reader.get() < 0 || ::lseek(reader.get(), 0, SEEK_SET) != 0) throw IoError::FromErrno(errno, name_);
    return reader;
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
    if (calls_->fsync(fd_.get()) != 0) throw IoError::FromErrno(errno, name_);
    if (way_ == Way::InPlace) {
        Close();
        return;
    }
    SetFinalMode();
    if (way_ == Way::Anonymous && (!replacing_ || !mayReplace_)) {
        // linkat never replaces: a file that appeared under the name meanwhile stays as it is.
        if (LinkAnonymous(base_)) {
            try {
                Close();
            } catch (const IoError&) {
                ::unlinkat(folder_.get(), base_.c_str(), 0);
                throw;
            }
            ::fsync(folder_.get());  // best effort, as after a rename below
            return;
        }
        if (errno != EEXIST) throw IoError::FromErrno(errno, name_);
        if (!mayReplace_) throw OutputExists(name_);
    }
    if (way_ == Way::Anonymous) NameAnonymously();
    PutInPlace();
}

// Best effort: a file system without modes (FAT through FUSE) keeps the output all the same,
// and NotKept tells what it lacks.
void OutputFile::SetFinalMode()
{
    if (calls_->fchmod(fd_.get(), finalMode_) == 0) return;
    const int error = errno;
    struct stat info;
    if (::fstat(fd_.get(), &info) == 0 && (info.st_mode & 07777) == finalMode_) return;
    char text[160];
    std::snprintf(text, sizeof text, ": the file system did not keep mode %04o (%s); the file has mode %04o",
                  static_cast<unsigned>(finalMode_), std::strerror(error), static_cast<unsigned>(info.st_mode & 07777));
    notKept_ = name_ + text;
}

bool OutputFile::LinkAnonymous(const std::string& name)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd_.get());
    return calls_->linkat(AT_FDCWD, self.c_str(), folder_.get(), name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Gives the finished anonymous file a temporary name (linkat cannot replace a file), armed
// for removal from before it exists. The rename follows at once: no Linux call replaces a
// name with an anonymous file in one step, so this short window remains.
void OutputFile::NameAnonymously()
{
    for (int attempt = 0;; ++attempt) {
        std::string name = TemporaryNameFor(base_);
        cleanup_ = CleanupSlot(folder_.get(), name);
        if (LinkAnonymous(name)) {
            temporaryName_ = std::move(name);
            way_ = Way::Named;
            return;
        }
        if (errno != EEXIST || attempt + 1 == kNameAttempts) {
            const int error = errno;
            cleanup_.Disarm();
            throw IoError::FromErrno(error, name_);
        }
    }
}

// Moves the temporary name to the target's: over an existing file only where that may be
// replaced.
void OutputFile::PutInPlace()
{
    Close();
    const char* from = temporaryName_.c_str();
    const int folder = folder_.get();
    if (mayReplace_) {
        if (calls_->renameat2(folder, from, folder, base_.c_str(), 0) != 0) throw IoError::FromErrno(errno, name_);
    } else if (calls_->renameat2(folder, from, folder, base_.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST) throw OutputExists(name_);
        // Many network and FUSE file systems refuse the flag; a link never replaces either.
        if (errno != EINVAL && errno != ENOSYS) throw IoError::FromErrno(errno, name_);
        if (calls_->linkat(folder, from, folder, base_.c_str(), 0) != 0) {
            if (errno == EEXIST) throw OutputExists(name_);
            throw IoError::FromErrno(errno, name_);
        }
        ::unlinkat(folder, from, 0);
    }
    temporaryName_.clear();
    cleanup_.Disarm();
    // Best effort: the target is replaced already, and a report now would claim it was not.
    ::fsync(folder);
}
