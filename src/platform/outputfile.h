#pragma once

// Where an output goes, written so that a run which fails or dies leaves the target as it was
// and no file behind.
//
// - A stream the process already holds (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N)
//   is written through a duplicate of its descriptor; a device, pipe or socket is opened and
//   written as it is. Neither is ever replaced.
// - A new or replaced regular file is written as an anonymous file (O_TMPFILE) in the target's
//   folder, where the file system has them, else under a temporary name that a terminating
//   signal removes. Commit flushes it and gives it its final mode (the replaced file's, or what
//   a plain open(O_CREAT, 0666) gives). A new file is then linked straight to its name, which
//   fails rather than replace a file that appeared meanwhile; a replaced file is given a
//   temporary name and renamed over the target at once. The folder is flushed last. A replaced
//   file also passes on its owner, group and extended attributes (ACLs too).
// - Every step after Open works on the folder opened then, so moving the folder meanwhile
//   does not lose the output.
// - A replaced file is written in place instead when a rename would lose what identifies it:
//   it has other hard links, its folder cannot be written, or its owner, group or extended
//   attributes cannot be carried over. It is truncated only at the first Write (or at Commit),
//   so every check of the caller comes first, and it is locked (flock) against other runs
//   that would write it in place at the same time.
// - A mode the file system cannot hold is no reason to lose the output: Commit keeps the file
//   and NotKept says what was lost.
// A symbolic link as output stays a link to the replaced file; a dangling one is refused.

#include <optional>
#include <string>
#include <string_view>

#include "platform/hostcalls.h"
#include "platform/ioerror.h"
#include "platform/signalcleanup.h"

// Raised by Commit when a file has appeared under the name of an output that may not replace one.
class OutputExists : public IoError {
public:
    explicit OutputExists(std::string path)
        : IoError(IoCodeForErrno(EEXIST), EEXIST, std::move(path), ErrorKind::Refused)
    {
    }
};

class OutputFile {
public:
    // Whether a file that exists under the output's name may be replaced.
    enum class Existing { Replace, Refuse };

    // nullopt when the target cannot be written, with errno telling why: EEXIST for an
    // existing file that may not be replaced, EWOULDBLOCK for a file that another run is
    // writing in place, else the host's reason (a missing folder, no permission, EISDIR for a
    // directory, ENOENT for a dangling symbolic link).
    static std::optional<OutputFile> Open(const std::string& name, const SystemCalls& calls = HostCalls(),
                                          Existing existing = Existing::Replace);
    // True when name refers to the file that is already open as input.
    static bool IsSameFile(const std::string& name, const struct stat& input);

    OutputFile(OutputFile&& other) noexcept;
    // Without Commit the new file is discarded; an in-place target keeps its old bytes unless
    // writing has begun.
    ~OutputFile();

    // Writes all count bytes or raises IoError.
    void Write(const std::uint8_t* buffer, std::size_t count);
    // A new file (neither a stream nor written in place) also takes writes at a place of it,
    // from any thread: what it holds is seen only once committed.
    bool TakesWritesAt() const noexcept { return way_ == Way::Anonymous || way_ == Way::Named; }
    // Writes all count bytes at offset of a file that TakesWritesAt, or raises IoError.
    void WriteAt(const std::uint8_t* buffer, std::size_t count, std::uint64_t offset) const;
    // Raises IoError, or OutputExists; every failure comes before the target is replaced.
    void Commit();
    // Before Commit, for a new file (neither a stream nor written in place): flushes what was
    // written to the disk and drops it from the cache, then returns a descriptor that reads
    // the file from its start, so that a check of the output reads what the disk holds.
    // Raises IoError.
    FileDescriptor ReadBack();
    // The target itself is written (truncated at the first Write), not a new file named at Commit.
    bool WritesInPlace() const noexcept { return way_ == Way::InPlace; }
    // Why it is written in place, as a sentence's end ("it has other hard links"); empty when
    // it is not.
    std::string_view InPlaceReason() const noexcept { return inPlaceReason_; }
    // Gives a file that this output creates no permissions for group and others (a key file),
    // whatever the umask or the replaced file allowed.
    void RestrictToOwner() noexcept { finalMode_ &= ~mode_t{077}; }
    // Gives a file that this output creates no permission that mode lacks (a file that stands
    // for another, readable by no one who could not read that one).
    void LimitModeTo(mode_t mode) noexcept { finalMode_ &= mode; }
    // After Commit: what the file system did not keep that a user may rely on (the file's
    // mode), in a sentence naming the file; empty when everything was kept.
    const std::string& NotKept() const noexcept { return notKept_; }

private:
    enum class Way {
        Direct,     // a stream or device
        InPlace,    // the target itself, truncated at the first write
        Anonymous,  // an O_TMPFILE without a name yet
        Named,      // a temporary name in the target's folder
    };
    struct Target;

    OutputFile(Way way, FileDescriptor fd, std::string name, const SystemCalls& calls)
        : fd_(std::move(fd)), way_(way), calls_(&calls), name_(std::move(name))
    {
    }
    static std::optional<OutputFile> OpenRegular(const std::string& name, const SystemCalls& calls);
    static std::optional<OutputFile> InPlace(const Target& target, const SystemCalls& calls, const char* reason);
    static std::optional<OutputFile> CreateBeside(Target& target, const SystemCalls& calls);
    int CreateAnonymous();
    int CreateNamed();
    bool CarryOver(const Target& target);
    void TruncateOnce();
    void SetFinalMode();
    bool LinkAnonymous(const std::string& name);
    void NameAnonymously();
    void PutInPlace();
    void Close();

    FileDescriptor fd_;
    Way way_;
    const SystemCalls* calls_;
    std::string name_;            // as given, for errors
    FileDescriptor folder_;       // Anonymous, Named: the target's folder
    std::string base_;            // Anonymous, Named: the target's name in folder_
    bool replacing_ = false;      // Anonymous, Named: a file existed under base_ at Open
    bool mayReplace_ = true;      // Anonymous, Named
    std::string temporaryName_;   // Named: the name in folder_, removed unless committed
    CleanupSlot cleanup_;         // Named: removes temporaryName_ on a terminating signal
    mode_t finalMode_ = 0;        // Anonymous, Named: set at Commit
    bool truncated_ = false;      // InPlace
    const char* inPlaceReason_ = "";  // InPlace
    std::string notKept_;
};
