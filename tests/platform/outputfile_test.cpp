// The output layer's rules for modes, identity and streams, seen on real files: what a new
// file's mode becomes, what a replaced file passes on, when a file is written in place and
// that its old bytes stay until the first write, and that own descriptors are duplicated.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/ioerror.h"
#include "platform/posixfile.h"
#include "support/tempdir.h"

namespace {
const Bytes kOld(50, 0x11);
const Bytes kNew(3000, 0x22);

// Runs body in a child process and returns its exit code (128 + signal when killed).
template <typename Body>
int RunInChild(Body body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int NoTemporaryFiles(int folder, const char* name, int flags, mode_t mode)
{
    if ((flags & O_TMPFILE) == O_TMPFILE) return errno = EOPNOTSUPP, -1;
    return ::openat(folder, name, flags, mode);
}

int FolderReadOnly(int, const char*, int, mode_t)
{
    return errno = EROFS, -1;
}

int ChownRefused(int, uid_t, gid_t)
{
    return errno = EPERM, -1;
}

SystemCalls With(int (*openat)(int, const char*, int, mode_t), int (*fchown)(int, uid_t, gid_t) = ::fchown)
{
    SystemCalls calls = HostCalls();
    calls.openat = openat;
    calls.fchown = fchown;
    return calls;
}

const SystemCalls kNamedOnly = With(NoTemporaryFiles);

void WriteThrough(const std::string& name, const Bytes& bytes, const SystemCalls& calls = HostCalls())
{
    auto output = OutputFile::Open(name, calls);
    ASSERT_TRUE(output);
    output->Write(bytes.data(), bytes.size());
    output->Commit();
}

struct stat StatOf(const std::string& name)
{
    struct stat info {};
    EXPECT_EQ(::stat(name.c_str(), &info), 0) << name;
    return info;
}

// A POSIX ACL in the kernel's xattr form: version 2, then (tag, permissions, id) entries.
std::vector<char> Acl(std::initializer_list<std::array<std::uint32_t, 3>> entries)
{
    std::vector<char> acl(4 + 8 * entries.size());
    const std::uint32_t version = 2;
    std::memcpy(acl.data(), &version, 4);
    std::size_t at = 4;
    for (const auto& [tag, permissions, id] : entries) {
        const std::uint16_t head[2] = {static_cast<std::uint16_t>(tag), static_cast<std::uint16_t>(permissions)};
        std::memcpy(acl.data() + at, head, 4);
        std::memcpy(acl.data() + at + 4, &id, 4);
        at += 8;
    }
    return acl;
}
constexpr std::uint32_t kUserObj = 0x01, kUser = 0x02, kGroupObj = 0x04, kMask = 0x10, kOther = 0x20, kNoId = ~0u;

std::vector<char> AttributeOf(const std::string& name, const char* attribute)
{
    std::vector<char> value(256);
    const ssize_t size = ::getxattr(name.c_str(), attribute, value.data(), value.size());
    value.resize(size < 0 ? 0 : static_cast<std::size_t>(size));
    return value;
}
}  // namespace

// A new file gets what open(O_CREAT, 0666) gives beside it, under any umask or default ACL,
// whether written anonymously or under a temporary name.
TEST(OutputFile, NewFileGetsTheModeAPlainCreateGives)
{
    struct Case {
        mode_t umask;
        bool defaultAcl;
    };
    const Case cases[] = {{027, false}, {077, false}, {022, true}};
    for (const SystemCalls* calls : {&HostCalls(), &kNamedOnly}) {
        for (const Case& c : cases) {
            if (c.defaultAcl && calls == &kNamedOnly) continue;  // the named fallback applies the umask only
            SCOPED_TRACE(testing::Message() << "umask " << std::oct << c.umask << (c.defaultAcl ? " default ACL" : "")
                                            << (calls == &kNamedOnly ? " named" : " anonymous"));
            TempDir dir;
            if (c.defaultAcl) {
                const auto acl = Acl({{kUserObj, 6, kNoId}, {kGroupObj, 6, kNoId}, {kOther, 4, kNoId}});
                ASSERT_EQ(::setxattr(dir.root().c_str(), "system.posix_acl_default", acl.data(), acl.size(), 0), 0);
            }
            ASSERT_EQ(RunInChild([&] {
                          ::umask(c.umask);
                          ::close(::open(dir.path("plain").c_str(), O_CREAT | O_WRONLY, 0666));
                          WriteThrough(dir.path("new"), kNew, *calls);
                          return 0;
                      }),
                      0);
            EXPECT_EQ(StatOf(dir.path("new")).st_mode, StatOf(dir.path("plain")).st_mode);
            EXPECT_EQ(ReadFile(dir.path("new")), kNew);
            EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"new", "plain"}));
        }
    }
}

// The replacement carries the mode, extended attributes and ACL of the replaced file, and
// loses an ACL inherited from the folder that the replaced file did not have.
TEST(OutputFile, ReplacementCarriesModeAttributesAndAcl)
{
    const auto acl =
        Acl({{kUserObj, 6, kNoId}, {kUser, 6, 65534}, {kGroupObj, 4, kNoId}, {kMask, 6, kNoId}, {kOther, 0, kNoId}});
    for (const SystemCalls* calls : {&HostCalls(), &kNamedOnly}) {
        TempDir dir;
        const std::string target = dir.path("target");
        WriteFile(target, kOld);
        ASSERT_EQ(::chmod(target.c_str(), 0660), 0);
        ASSERT_EQ(::setxattr(target.c_str(), "user.note", "kept", 4, 0), 0);
        ASSERT_EQ(::setxattr(target.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0), 0);
        const std::string plain = dir.path("plain");
        WriteFile(plain, kOld);
        const auto inherited = Acl({{kUserObj, 6, kNoId}, {kUser, 7, 65534}, {kGroupObj, 6, kNoId},
                                    {kMask, 7, kNoId}, {kOther, 4, kNoId}});
        ASSERT_EQ(::setxattr(dir.root().c_str(), "system.posix_acl_default", inherited.data(), inherited.size(), 0), 0);
        const ino_t before = StatOf(target).st_ino;

        WriteThrough(target, kNew, *calls);
        WriteThrough(plain, kNew, *calls);
        EXPECT_NE(StatOf(target).st_ino, before);  // replaced, not written in place
        EXPECT_EQ(ReadFile(target), kNew);
        EXPECT_EQ(StatOf(target).st_mode & 07777, 0660u);
        EXPECT_EQ(AttributeOf(target, "user.note"), (std::vector<char>{'k', 'e', 'p', 't'}));
        EXPECT_EQ(AttributeOf(target, "system.posix_acl_access"), acl);
        EXPECT_TRUE(AttributeOf(plain, "system.posix_acl_access").empty());
    }
}

// Where a rename would lose the file's identity it is written in place, and its old bytes stay
// until the first write: an output dropped before writing changes nothing, one committed
// without a write is empty.
TEST(OutputFile, InPlaceTargetKeepsItsInodeAndIsTruncatedOnlyByWriting)
{
    const SystemCalls folderReadOnly = With(FolderReadOnly);
    const SystemCalls chownRefused = With(::HostOpenAt, ChownRefused);
    struct Case {
        const char* why;
        const SystemCalls* calls;
        bool hardLink;
        bool otherOwner;
        const char* reason;  // as the output tells it
    };
    const Case cases[] = {
        {"hard link", &HostCalls(), true, false, "it has other hard links"},
        {"read-only folder", &folderReadOnly, false, false, "its folder cannot be written"},
        {"owner not carried over", &chownRefused, false, true,
         "its owner, group or extended attributes cannot be carried over"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        if (c.otherOwner && ::geteuid() != 0) continue;  // a file of another user needs root to set up
        TempDir dir;
        const std::string target = dir.path("target");
        WriteFile(target, kOld);
        if (c.hardLink) {
            ASSERT_EQ(::link(target.c_str(), dir.path("other").c_str()), 0);
        }
        if (c.otherOwner) {
            ASSERT_EQ(::chown(target.c_str(), 65534, 65534), 0);
        }
        const auto entries = dir.Entries();
        const ino_t inode = StatOf(target).st_ino;

        OutputFile::Open(target, *c.calls).reset();
        EXPECT_EQ(ReadFile(target), kOld);
        {
            auto output = OutputFile::Open(target, *c.calls);
            ASSERT_TRUE(output);
            EXPECT_TRUE(output->WritesInPlace());
            EXPECT_EQ(output->InPlaceReason(), c.reason);
            EXPECT_EQ(ReadFile(target), kOld);
            output->Commit();
        }
        EXPECT_TRUE(ReadFile(target).empty());
        WriteThrough(target, kNew, *c.calls);
        EXPECT_EQ(ReadFile(target), kNew);
        EXPECT_EQ(StatOf(target).st_ino, inode);
        if (c.hardLink) {
            EXPECT_EQ(ReadFile(dir.path("other")), kNew);
        }
        if (c.otherOwner) {
            EXPECT_EQ(StatOf(target).st_uid, 65534u);
        }
        EXPECT_EQ(dir.Entries(), entries);
    }
    TempDir dir;
    EXPECT_FALSE(OutputFile::Open(dir.path("new"), folderReadOnly));  // nothing to write in place
}

// An own descriptor is duplicated, not reopened: an O_APPEND file keeps its earlier content,
// and sockets and pipes work as inputs and outputs.
TEST(OutputFile, OwnDescriptorsAreWrittenAndReadAsTheyAre)
{
    TempDir dir;
    const std::string log = dir.path("log");
    WriteFile(log, kOld);
    const int appending = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(appending, 0);
    WriteThrough("/dev/fd/" + std::to_string(appending), kNew);
    WriteThrough("/proc/self/fd/" + std::to_string(appending), kNew);
    ::close(appending);
    Bytes expected = kOld;
    expected.insert(expected.end(), kNew.begin(), kNew.end());
    expected.insert(expected.end(), kNew.begin(), kNew.end());
    EXPECT_EQ(ReadFile(log), expected);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"log"});

    int sockets[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
    WriteThrough("/proc/self/fd/" + std::to_string(sockets[0]), kNew);
    ::close(sockets[0]);
    auto input = OpenInput("/dev/fd/" + std::to_string(sockets[1]));
    ::close(sockets[1]);
    ASSERT_TRUE(input);
    Bytes got(kNew.size() + 1);
    EXPECT_EQ(ReadFull(input->fd.get(), got.data(), got.size()), kNew.size());

    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    EXPECT_FALSE(OutputFile::Open("/dev/fd/" + std::to_string(pipeEnds[0])));  // the reading end
    EXPECT_FALSE(OpenInput("/dev/fd/" + std::to_string(pipeEnds[1])));
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
}

// A symbolic link stays a link to the replaced file; a dangling one is refused.
TEST(OutputFile, SymbolicLinksLeadToTheFileTheyName)
{
    TempDir dir;
    WriteFile(dir.path("target"), kOld);
    ASSERT_EQ(::symlink("target", dir.path("link").c_str()), 0);
    ASSERT_EQ(::symlink("missing", dir.path("dangling").c_str()), 0);
    WriteThrough(dir.path("link"), kNew);
    struct stat info {};
    ASSERT_EQ(::lstat(dir.path("link").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFile(dir.path("target")), kNew);
    EXPECT_FALSE(OutputFile::Open(dir.path("dangling")));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"dangling", "link", "target"}));
}

// A failure names the file as given and keeps the host's cause, and leaves nothing behind:
// an existing target stays as it was.
TEST(OutputFile, ErrorsNameTheFileAndTheCause)
{
    SystemCalls diskFull = HostCalls();
    diskFull.write = [](int, const void*, std::size_t) -> ssize_t { return errno = ENOSPC, -1; };
    SystemCalls renameRefused = HostCalls();
    renameRefused.renameat2 = [](int, const char*, int, const char*, unsigned) { return errno = EACCES, -1; };
    SystemCalls linkRefused = HostCalls();
    linkRefused.linkat = [](int, const char*, int, const char*, int) { return errno = EMLINK, -1; };
    struct Case {
        const SystemCalls* calls;
        int error;
        bool replacing;
    };
    const Case cases[] = {
        {&diskFull, ENOSPC, false}, {&renameRefused, EACCES, true}, {&linkRefused, EMLINK, false}, {&linkRefused, EMLINK, true},
    };
    for (const Case& c : cases) {
        TempDir dir;
        // A replaced file through a link: the error names the link.
        const std::string name = dir.path(c.replacing ? "link" : "new");
        if (c.replacing) {
            WriteFile(dir.path("target"), kOld);
            ASSERT_EQ(::symlink("target", name.c_str()), 0);
        }
        const auto entries = dir.Entries();
        try {
            WriteThrough(name, kNew, *c.calls);
            ADD_FAILURE() << "no error";
        } catch (const IoError& e) {
            EXPECT_EQ(e.path(), name);
            EXPECT_EQ(e.hostError(), c.error);
        }
        EXPECT_EQ(dir.Entries(), entries);
        if (c.replacing) {
            EXPECT_EQ(ReadFile(dir.path("target")), kOld);
        }
    }
}

// An output that may not replace a file refuses one that exists at Open, and at Commit one that
// appeared meanwhile, leaving it as it was, whether the new file is anonymous or named, and
// where the file system refuses RENAME_NOREPLACE (a link is made instead).
TEST(OutputFile, AnOutputThatMayNotReplaceRefusesAFileThatAppearsBeforeItsCommit)
{
    SystemCalls noReplaceRefused = kNamedOnly;
    noReplaceRefused.renameat2 = [](int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) {
        if (flags & RENAME_NOREPLACE) return errno = EINVAL, -1;
        return ::renameat2(fromFolder, from, toFolder, to, flags);
    };
    for (const SystemCalls* calls : {&HostCalls(), &kNamedOnly, static_cast<const SystemCalls*>(&noReplaceRefused)}) {
        TempDir dir;
        const std::string target = dir.path("target");
        WriteFile(target, kOld);
        errno = 0;
        EXPECT_FALSE(OutputFile::Open(target, *calls, OutputFile::Existing::Refuse));
        EXPECT_EQ(errno, EEXIST);

        for (const bool appears : {true, false}) {
            const std::string name = dir.path(appears ? "raced" : "new");
            auto output = OutputFile::Open(name, *calls, OutputFile::Existing::Refuse);
            ASSERT_TRUE(output);
            output->Write(kNew.data(), kNew.size());
            if (appears) {
                WriteFile(name, kOld);
                EXPECT_THROW(output->Commit(), OutputExists);
                output.reset();
                EXPECT_EQ(ReadFile(name), kOld);
            } else {
                output->Commit();
                EXPECT_EQ(ReadFile(name), kNew);
            }
        }
        EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"new", "raced", "target"}));
    }
}
