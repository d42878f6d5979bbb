#pragma once

// Where an output goes, written so that a run which fails or dies leaves the target as it was
// and no file behind.
//
// - A stream the process already holds (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N)
//   is written through a duplicate of its descriptor; a device, pipe or socket is opened and
//   written as it is. Neither is ever replaced.
// - A new or replaced regular file is written as an anonymous file (O_TMPFILE) in the target's
//   folder, where the file system has them, else under a temporary name that a terminating
//   signal removes. Commit flushes it, gives it its final mode (the replaced file's, or what a
//   plain open(O_CREAT, 0666) gives), names it and renames it over the target, then flushes the
//   folder. A replaced file also passes on its owner, group and extended attributes (ACLs too).
// - A replaced file is written in place instead when a rename would lose what identifies it:
//   it has other hard links, its folder cannot be written, or its owner, group or extended
//   attributes cannot be carried over. It is truncated only at the first Write (or at Commit),
//   so every check of the caller comes first.
// A symbolic link as output stays a link to the replaced file; a dangling one is refused.

#include <optional>
#include <string>

#include "platform/hostcalls.h"
#include "platform/signalcleanup.h"

class OutputFile {
public:
    // nullopt when the target cannot be written: a missing folder, no permission, a directory,
    // a dangling symbolic link.
    static std::optional<OutputFile> Open(const std::string& name, const SystemCalls& calls = HostCalls());
    // True when name refers to the file that is already open as input.
    static bool IsSameFile(const std::string& name, const struct stat& input);

    OutputFile(OutputFile&& other) noexcept;
    // Without Commit the new file is discarded; an in-place target keeps its old bytes unless
    // writing has begun.
    ~OutputFile();

    // Writes all count bytes or raises IoError.
    void Write(const std::uint8_t* buffer, std::size_t count);
    // Raises IoError; every failure comes before the target is replaced.
    void Commit();
    // The target itself is written (truncated at the first Write), not a new file named at Commit.
    bool WritesInPlace() const noexcept { return way_ == Way::InPlace; }
    // Gives a file that this output creates no permissions for group and others (a key file),
    // whatever the umask or the replaced file allowed.
    void RestrictToOwner() noexcept { finalMode_ &= ~mode_t{077}; }

private:
    enum class Way {
        Direct,     // a stream or device
        InPlace,    // the target itself, truncated at the first write
        Anonymous,  // an O_TMPFILE without a name yet
        Named,      // a temporary name in the target's folder
    };
    struct Target;

    OutputFile(Way way, FileDescriptor fd, std::string targetPath, const SystemCalls& calls)
        : fd_(std::move(fd)), way_(way), calls_(&calls), targetPath_(std::move(targetPath))
    {
    }
    static std::optional<OutputFile> OpenRegular(const std::string& name, const SystemCalls& calls);
    static std::optional<OutputFile> CreateBeside(const Target& target, const SystemCalls& calls);
    int CreateAnonymous();
    int CreateNamed();
    bool CarryOver(const Target& target);
    void TruncateOnce();
    void NameAnonymous();
    void ReplaceTarget();
    void Close();

    FileDescriptor fd_;
    Way way_;
    const SystemCalls* calls_;
    FileDescriptor folder_;       // Anonymous, Named
    std::string folderPath_;      // Anonymous, Named
    std::string targetPath_;      // the name errors carry; for a file to replace, links resolved
    std::string temporaryName_;   // Named: the name in folder_, removed unless committed
    CleanupSlot cleanup_;         // Named: removes temporaryName_ on a terminating signal
    mode_t finalMode_ = 0;        // Anonymous, Named: set at Commit
    bool truncated_ = false;      // InPlace
};
