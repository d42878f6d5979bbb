// Host calls of the file procedure failing, interrupted or cut short at every point of a
// multi-chunk file: the error reaches the caller with its text, or the call is retried;
// either way nothing the user had is lost and nothing is left open, behind or unburned. An
// error names the file that failed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>

#include "cipher/blowfish.h"
#include "fileenc/fileop.h"
#include "platform/ioerror.h"
#include "platform/posixfile.h"
#include "support/tempdir.h"

namespace {
enum class Call { Read, Write, Fsync, Close, Rename };
enum class Kind {
    Error,    // fails with errno
    Nothing,  // a write that stores no byte
    Short,    // transfers half of what was asked
};

struct Fault {
    Call call;
    Kind kind;
    int error;             // for Kind::Error
    const char* expected;  // the error text, or nullptr when the operation must succeed
};

const char* const kHostIo = "I/O-Fehler 1005";
const char* const kDiskFull = "Kapazität der Diskette/Festplatte erschöpft";

const Fault kFaults[] = {
    {Call::Read, Kind::Error, EIO, kHostIo},
    {Call::Read, Kind::Error, EINTR, nullptr},
    {Call::Read, Kind::Short, 0, nullptr},
    {Call::Write, Kind::Error, EIO, kHostIo},
    {Call::Write, Kind::Error, ENOSPC, kDiskFull},
    {Call::Write, Kind::Error, EINTR, nullptr},
    {Call::Write, Kind::Nothing, 0, kDiskFull},
    {Call::Write, Kind::Short, 0, nullptr},
    {Call::Fsync, Kind::Error, EIO, kHostIo},
    {Call::Fsync, Kind::Error, ENOSPC, kDiskFull},
    {Call::Close, Kind::Error, EIO, kHostIo},
    {Call::Rename, Kind::Error, EACCES, "Dateizugriff verweigert"},
};

// Counts the calls of each kind and turns the n-th call of one kind into a fault. Reads and
// writes come from threads of their own, so the counts are atomic.
struct Injector {
    static inline Fault fault{};
    static inline std::atomic<int> countdown = 0;  // 0: no fault armed
    static inline std::atomic<int> calls[5] = {};

    static bool Hit(Call call)
    {
        ++calls[static_cast<int>(call)];
        return call == fault.call && countdown.load() > 0 && countdown.fetch_sub(1) == 1;
    }
    static ssize_t Fail(int error)
    {
        errno = error;
        return -1;
    }

    static ssize_t Read(int fd, void* buffer, std::size_t count)
    {
        if (!Hit(Call::Read)) return ::read(fd, buffer, count);
        if (fault.kind == Kind::Short) return ::read(fd, buffer, std::max<std::size_t>(count / 2, 1));
        return Fail(fault.error);
    }
    static ssize_t Write(int fd, const void* buffer, std::size_t count)
    {
        if (!Hit(Call::Write)) return ::write(fd, buffer, count);
        if (fault.kind == Kind::Nothing) return 0;
        if (fault.kind == Kind::Short) return ::write(fd, buffer, std::max<std::size_t>(count / 2, 1));
        return Fail(fault.error);
    }
    static int Fsync(int fd) { return Hit(Call::Fsync) ? static_cast<int>(Fail(fault.error)) : ::fsync(fd); }
    static int Close(int fd)
    {
        const int result = ::close(fd);  // a failing close still releases the descriptor on Linux
        return Hit(Call::Close) ? static_cast<int>(Fail(fault.error)) : result;
    }
    static int Rename(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags)
    {
        if (Hit(Call::Rename)) return static_cast<int>(Fail(fault.error));
        return ::renameat2(fromFolder, from, toFolder, to, flags);
    }

    static constexpr SystemCalls kTable{Read, Write, Fsync, Close, Rename};

    static void Arm(const Fault& f, int nth)
    {
        fault = f;
        countdown = nth;
        for (auto& count : calls) count = 0;
    }
    static int CallsOf(Call call) { return calls[static_cast<int>(call)]; }
};

std::size_t OpenDescriptors()
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                  std::filesystem::directory_iterator()));
}

Bytes Pattern(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    return b;
}

bool AllOnes(const std::uint8_t* p, std::size_t n)
{
    return std::all_of(p, p + n, [](std::uint8_t b) { return b == 0xFF; });
}

bool Burned(const TZC_blowfish& cipher)
{
    const auto& schedule = cipher.KeySchedule();
    return !cipher.Initialized() && AllOnes(cipher.IV(), 8) && AllOnes(cipher.ChainingBlock(), 8) &&
           AllOnes(reinterpret_cast<const std::uint8_t*>(&schedule), sizeof schedule);
}
}  // namespace

TEST(FaultInjection, EveryFailingCallIsReportedOrRetriedAndLosesNothing)
{
    TempDir dir;
    const Bytes plain = Pattern(3 * kFileChunkBytes + 1000);
    const Bytes precious(77, 0x5A);
    const SecretBytes passphrase{'k', 'e', 'y'};
    WriteFile(dir.path("plain"), plain);
    TZC_blowfish cipher;
    ASSERT_EQ(EncryptFile(dir.path("plain"), dir.path("encrypted"), passphrase, cipher), FileOpResult::Encrypted);
    const Bytes encrypted = ReadFile(dir.path("encrypted"));

    struct Operation {
        FileOperation operation;
        std::string input;
        const Bytes& result;
    };
    const Operation operations[] = {
        {FileOperation::Encrypt, dir.path("plain"), encrypted},
        {FileOperation::Decrypt, dir.path("encrypted"), plain},
    };
    for (const Operation& op : operations) {
        const auto run = [&] {
            const FileOpOptions options{.calls = &Injector::kTable};
            return op.operation == FileOperation::Encrypt
                       ? EncryptFile(op.input, dir.path("out"), passphrase, cipher, options)
                       : DecryptFile(op.input, dir.path("out"), passphrase, cipher, options);
        };
        for (const Fault& fault : kFaults) {
            WriteFile(dir.path("out"), precious);
            Injector::Arm(fault, 0);
            ASSERT_NO_THROW(run());
            const int calls = Injector::CallsOf(fault.call);
            ASSERT_GE(calls, fault.call == Call::Read || fault.call == Call::Write ? 4 : 1);
            for (int nth = 1; nth <= calls; ++nth) {
                SCOPED_TRACE(testing::Message() << (op.operation == FileOperation::Encrypt ? "encrypt" : "decrypt")
                                                << ", call kind " << static_cast<int>(fault.call) << ", fault kind "
                                                << static_cast<int>(fault.kind) << ", errno " << fault.error
                                                << ", call " << nth << " of " << calls);
                WriteFile(dir.path("out"), precious);
                const auto entries = dir.Entries();
                const std::size_t descriptors = OpenDescriptors();
                Injector::Arm(fault, nth);
                if (fault.expected) {
                    try {
                        run();
                        ADD_FAILURE() << "no error";
                    } catch (const IoError& e) {
                        EXPECT_STREQ(e.what(), fault.expected);
                        const auto failed = std::filesystem::path(e.path()).filename();
                        EXPECT_TRUE(failed == std::filesystem::path(op.input).filename() || failed == "out") << e.path();
                    }
                    EXPECT_EQ(ReadFile(dir.path("out")), precious);
                } else {
                    EXPECT_NO_THROW(run());
                    EXPECT_EQ(ReadFile(dir.path("out")), op.result);
                }
                EXPECT_EQ(dir.Entries(), entries);  // no temporary file
                EXPECT_EQ(OpenDescriptors(), descriptors);
                EXPECT_TRUE(Burned(cipher));
            }
        }
    }
}
