// Every kind of output through EncryptFile, each run in a child process as a user would run
// the tool: the bytes that arrive, the mode and owner they get, and what other names of the
// file (hard and symbolic links, an appended log) see afterwards.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>

#include "cipher/blowfish.h"
#include "fileenc/fileop.h"
#include "support/tempdir.h"

namespace {
constexpr uid_t kNobody = 65534;
const Bytes kPrecious(77, 0x5A);

enum class Stdout { Inherited, AppendedLog, Pipe };

struct Row {
    const char* kind;
    void (*prepare)(const TempDir& dir);  // lays out the folder before the run
    const char* output;                   // relative to the folder unless absolute
    FileOpResult expected;
    void (*check)(const TempDir& dir, const Bytes& encrypted, const Bytes& piped);
    bool asNobody = false;  // the run drops root, so that folder permissions apply
    Stdout stdoutTo = Stdout::Inherited;
};

struct stat StatOf(const std::string& name)
{
    struct stat info {};
    EXPECT_EQ(::lstat(name.c_str(), &info), 0) << name;
    return info;
}

mode_t Umask()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

void Existing(const TempDir& dir, const char* name, mode_t mode)
{
    WriteFile(dir.path(name), kPrecious);
    ASSERT_EQ(::chmod(dir.path(name).c_str(), mode), 0);
}

void ExpectFile(const TempDir& dir, const char* name, const Bytes& bytes, mode_t mode, uid_t owner)
{
    EXPECT_EQ(ReadFile(dir.path(name)), bytes);
    EXPECT_EQ(StatOf(dir.path(name)).st_mode & 07777, mode);
    EXPECT_EQ(StatOf(dir.path(name)).st_uid, owner);
}

const Row kRows[] = {
    {"new file", [](const TempDir&) {}, "out", FileOpResult::Encrypted,
     [](const TempDir& dir, const Bytes& encrypted, const Bytes&) {
         ExpectFile(dir, "out", encrypted, 0666 & ~Umask(), ::geteuid());
     }},
    {"existing file", [](const TempDir& dir) { Existing(dir, "out", 0640); }, "out", FileOpResult::Encrypted,
     [](const TempDir& dir, const Bytes& encrypted, const Bytes&) {
         ExpectFile(dir, "out", encrypted, 0640, ::geteuid());
     }},
    {"hard-linked file",
     [](const TempDir& dir) {
         Existing(dir, "out", 0604);
         ASSERT_EQ(::link(dir.path("out").c_str(), dir.path("other").c_str()), 0);
     },
     "out", FileOpResult::Encrypted,
     [](const TempDir& dir, const Bytes& encrypted, const Bytes&) {
         ExpectFile(dir, "other", encrypted, 0604, ::geteuid());
         EXPECT_EQ(StatOf(dir.path("out")).st_ino, StatOf(dir.path("other")).st_ino);
     }},
    {"file of another owner",
     [](const TempDir& dir) {
         if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
         Existing(dir, "out", 0646);
         ASSERT_EQ(::chown(dir.path("out").c_str(), kNobody, kNobody), 0);
     },
     "out", FileOpResult::Encrypted,
     [](const TempDir& dir, const Bytes& encrypted, const Bytes&) {
         ExpectFile(dir, "out", encrypted, 0646, kNobody);
         EXPECT_EQ(StatOf(dir.path("out")).st_gid, kNobody);
     }},
    {"writable file in a read-only folder",
     [](const TempDir& dir) {
         ASSERT_EQ(::mkdir(dir.path("locked").c_str(), 0755), 0);
         Existing(dir, "locked/out", 0666);
         ASSERT_EQ(::chmod(dir.path("locked").c_str(), 0555), 0);
     },
     "locked/out", FileOpResult::Encrypted,
     [](const TempDir& dir, const Bytes& encrypted, const Bytes&) {
         ExpectFile(dir, "locked/out", encrypted, 0666, 0);
         EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path("locked")),
                                 std::filesystem::directory_iterator()),
                   1);
     },
     true},
    {"symbolic link to a file",
     [](const TempDir& dir) {
         Existing(dir, "target", 0600);
         ASSERT_EQ(::symlink("target", dir.path("out").c_str()), 0);
     },
     "out", FileOpResult::Encrypted,
     [](const TempDir& dir, const Bytes& encrypted, const Bytes&) {
         EXPECT_TRUE(S_ISLNK(StatOf(dir.path("out")).st_mode));
         ExpectFile(dir, "target", encrypted, 0600, ::geteuid());
     }},
    {"dangling symbolic link", [](const TempDir& dir) { ASSERT_EQ(::symlink("missing", dir.path("out").c_str()), 0); },
     "out", FileOpResult::OutputOpenFailed,
     [](const TempDir& dir, const Bytes&, const Bytes&) {
         EXPECT_TRUE(S_ISLNK(StatOf(dir.path("out")).st_mode));
         EXPECT_FALSE(std::filesystem::exists(dir.path("missing")));
     }},
    {"/dev/null", [](const TempDir&) {}, "/dev/null", FileOpResult::Encrypted,
     [](const TempDir&, const Bytes&, const Bytes&) { EXPECT_TRUE(S_ISCHR(StatOf("/dev/null").st_mode)); }},
    {"pipe as /dev/stdout", [](const TempDir&) {}, "/dev/stdout", FileOpResult::Encrypted,
     [](const TempDir&, const Bytes& encrypted, const Bytes& piped) { EXPECT_EQ(piped, encrypted); }, false,
     Stdout::Pipe},
    {"appended /dev/stdout", [](const TempDir& dir) { Existing(dir, "log", 0644); }, "/dev/stdout",
     FileOpResult::Encrypted,
     [](const TempDir& dir, const Bytes& encrypted, const Bytes&) {
         Bytes expected = kPrecious;
         expected.insert(expected.end(), encrypted.begin(), encrypted.end());
         ExpectFile(dir, "log", expected, 0644, ::geteuid());
     },
     false, Stdout::AppendedLog},
};

Bytes Pattern(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 13 + (i >> 8));
    return b;
}

// Points the child's standard output where the row wants it.
void RedirectStdout(const Row& row, const TempDir& dir, int pipeEnd)
{
    if (row.stdoutTo == Stdout::Pipe) ::dup2(pipeEnd, STDOUT_FILENO);
    if (row.stdoutTo == Stdout::AppendedLog) ::dup2(::open(dir.path("log").c_str(), O_WRONLY | O_APPEND), STDOUT_FILENO);
}

// Runs the encryption in a child; returns its outcome (or -1) and what it wrote to the pipe.
std::pair<int, Bytes> Encrypt(const Row& row, const TempDir& dir, const std::string& output)
{
    int pipeEnds[2];
    EXPECT_EQ(::pipe(pipeEnds), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        RedirectStdout(row, dir, pipeEnds[1]);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        if (row.asNobody && ::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(100);
        TZC_blowfish cipher;
        try {
            ::_exit(static_cast<int>(EncryptFile(dir.path("plain"), output, {'k', 'e', 'y'}, cipher,
                                                 FileOpOptions{.chunkBytes = 4096})));
        } catch (...) {
            ::_exit(101);
        }
    }
    ::close(pipeEnds[1]);
    Bytes piped;
    std::uint8_t buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) piped.insert(piped.end(), buffer, buffer + n);
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, piped};
}
}  // namespace

class OutputKinds : public testing::TestWithParam<Row> {};

TEST_P(OutputKinds, GetsTheBytesAndKeepsWhatIdentifiesIt)
{
    const Row& row = GetParam();
    TempDir dir;
    ASSERT_EQ(::chmod(dir.root().c_str(), 0755), 0);  // a run as nobody reaches the folder
    WriteFile(dir.path("plain"), Pattern(3 * 4096 + 100));
    ASSERT_EQ(::chmod(dir.path("plain").c_str(), 0644), 0);
    TZC_blowfish cipher;
    ASSERT_EQ(EncryptFile(dir.path("plain"), dir.path("reference"), {'k', 'e', 'y'}, cipher,
                          FileOpOptions{.chunkBytes = 4096}),
              FileOpResult::Encrypted);
    const Bytes encrypted = ReadFile(dir.path("reference"));
    row.prepare(dir);
    if (IsSkipped() || HasFatalFailure()) return;
    const std::string output = row.output[0] == '/' ? row.output : dir.path(row.output);
    const auto [result, piped] = Encrypt(row, dir, output);
    EXPECT_EQ(result, static_cast<int>(row.expected));
    row.check(dir, encrypted, piped);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.root()))
        EXPECT_EQ(entry.path().filename().string().find(".zorvanta-"), std::string::npos) << entry.path();
}

INSTANTIATE_TEST_SUITE_P(Table, OutputKinds, testing::ValuesIn(kRows), [](const auto& row) {
    std::string name = row.param.kind;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
});
