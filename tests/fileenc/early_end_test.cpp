// A run that ends early in a child process, killed by a signal, stopped by the file size
// limit or by an I/O error, while it is in mid-file: the folder holds exactly what it held
// before and an existing output keeps its bytes. The input is a FIFO, so the run waits in
// mid-file at a known point until the signal comes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#include "cipher/blowfish.h"
#include "fileenc/fileop.h"
#include "support/tempdir.h"

namespace {
constexpr std::size_t kChunk = 16384;
const Bytes kPrecious(77, 0x5A);

enum class Ending { Signal, FileSizeLimit, WriteError };

struct Row {
    const char* name;
    Ending ending;
    int signal;  // sent, or expected from the file size limit
    bool named;  // the fallback with a named temporary file instead of O_TMPFILE
    bool existingOutput;
};

const Row kRows[] = {
    {"SIGKILL", Ending::Signal, SIGKILL, false, true},
    {"SIGKILL_new", Ending::Signal, SIGKILL, false, false},
    {"SIGINT", Ending::Signal, SIGINT, false, true},
    {"SIGINT_named", Ending::Signal, SIGINT, true, true},
    {"SIGTERM_named_new", Ending::Signal, SIGTERM, true, false},
    {"SIGHUP_named", Ending::Signal, SIGHUP, true, true},
    {"SIGXFSZ", Ending::FileSizeLimit, SIGXFSZ, false, true},
    {"SIGXFSZ_named_new", Ending::FileSizeLimit, SIGXFSZ, true, false},
    {"write_error_named", Ending::WriteError, 0, true, true},
};

int NoTemporaryFiles(int folder, const char* name, int flags, mode_t mode)
{
    if ((flags & O_TMPFILE) == O_TMPFILE) return errno = EOPNOTSUPP, -1;
    return ::openat(folder, name, flags, mode);
}

// Writes the check block and the first chunk, then fails on the last, short chunk.
ssize_t FailingThirdWrite(int fd, const void* buffer, std::size_t count)
{
    static int writes = 0;
    if (++writes == 3) return errno = EIO, -1;
    return ::write(fd, buffer, count);
}

[[noreturn]] void RunChild(const Row& row, const TempDir& dir)
{
    SystemCalls calls = HostCalls();
    if (row.named) calls.openat = NoTemporaryFiles;
    if (row.ending == Ending::WriteError) calls.write = FailingThirdWrite;
    if (row.ending == Ending::FileSizeLimit) {
        const rlimit limit{kChunk / 2, kChunk / 2};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    TZC_blowfish cipher;
    try {
        ::_exit(static_cast<int>(EncryptFile(dir.path("input"), dir.path("out"), {'k', 'e', 'y'}, cipher,
                                             FileOpOptions{.calls = &calls, .chunkBytes = kChunk})));
    } catch (...) {
        ::_exit(101);
    }
}

// True once the child holds an output of the folder with at least size bytes.
bool HoldsOutput(pid_t pid, const TempDir& dir, off_t size)
{
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(fds, ignored)) {
        struct stat info {};
        const auto target = std::filesystem::read_symlink(entry.path(), ignored).string();
        if (target.starts_with(dir.root().string()) && ::stat(entry.path().c_str(), &info) == 0 &&
            S_ISREG(info.st_mode) && info.st_size >= size)
            return true;
    }
    return false;
}

class EarlyEnd : public testing::TestWithParam<Row> {};
}  // namespace

TEST_P(EarlyEnd, LeavesTheFolderAsItWas)
{
    const Row& row = GetParam();
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.path("input").c_str(), 0600), 0);
    if (row.existingOutput) WriteFile(dir.path("out"), kPrecious);
    const auto entries = dir.Entries();
    struct sigaction ignorePipe {}, previous {};
    ignorePipe.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignorePipe, &previous);  // the child may die before it reads everything

    const pid_t pid = ::fork();
    if (pid == 0) RunChild(row, dir);
    const int fifo = ::open(dir.path("input").c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fifo, 0);
    const Bytes data(kChunk + kChunk / 2, 0x33);
    [[maybe_unused]] const ssize_t fed = ::write(fifo, data.data(), data.size());
    if (row.ending == Ending::Signal) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!HoldsOutput(pid, dir, kChunk) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(HoldsOutput(pid, dir, kChunk));
        ::kill(pid, row.signal);
    }
    ::close(fifo);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::sigaction(SIGPIPE, &previous, nullptr);

    if (row.ending == Ending::WriteError) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 101) << status;
    } else {
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), row.signal);
    }
    EXPECT_EQ(dir.Entries(), entries);
    if (row.existingOutput) {
        EXPECT_EQ(ReadFile(dir.path("out")), kPrecious);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, EarlyEnd, testing::ValuesIn(kRows), [](const auto& row) {
    return std::string(row.param.name);
});
