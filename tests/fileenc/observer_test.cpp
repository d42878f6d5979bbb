// The observer of a run: told the bytes done and the total on the calling thread, once per
// chunk, growing to the total; a stop at any chunk ends the run Cancelled with nothing created,
// an existing output unchanged and the cipher burned.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <optional>
#include <thread>

#include "cipher/rijndael.h"
#include "fileenc/fileop.h"
#include "support/recordingobserver.h"
#include "support/tempdir.h"

namespace {
constexpr std::size_t kChunk = 1024;
const SecretBytes kPassphrase{'w', 'a', 't', 'c', 'h'};

Bytes Pattern(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 17 + (i >> 9));
    return b;
}

FileOpResult RunObserved(FileOperation operation, const std::string& in, const std::string& out, TZC_blockcipher& cipher,
                 FileOpObserver& observer)
{
    const FileOpOptions options{.observer = &observer, .chunkBytes = kChunk};
    return operation == FileOperation::Encrypt ? EncryptFile(in, out, kPassphrase, cipher, options)
                                               : DecryptFile(in, out, kPassphrase, cipher, options);
}

// Reports grow by at most a chunk each, to the total, which every report gives alike.
void ExpectProgress(const RecordingObserver& observer, std::uint64_t total, bool totalKnown)
{
    ASSERT_FALSE(observer.reports.empty());
    EXPECT_TRUE(observer.onCallingThread);
    std::uint64_t before = 0;
    for (const auto& report : observer.reports) {
        EXPECT_GE(report.done, before);
        EXPECT_LE(report.done - before, kChunk + 32);
        EXPECT_EQ(report.total, totalKnown ? std::optional(total) : std::nullopt);
        before = report.done;
    }
    EXPECT_EQ(before, total);
}

bool AllOnes(const std::uint8_t* p, std::size_t n)
{
    return std::all_of(p, p + n, [](std::uint8_t b) { return b == 0xFF; });
}
}  // namespace

TEST(FileOpObserver, ReportsTotalsAndProgressForFilesAndPipes)
{
    TempDir dir;
    TZC_rijndael cipher;
    for (const std::size_t size : {std::size_t{0}, kChunk / 2, 2 * kChunk, 7 * kChunk + 100}) {
        SCOPED_TRACE(testing::Message() << "size " << size);
        const Bytes plain = Pattern(size);
        WriteFile(dir.path("plain"), plain);
        RecordingObserver encrypting;
        ASSERT_EQ(RunObserved(FileOperation::Encrypt, dir.path("plain"), dir.path("enc"), cipher, encrypting),
                  FileOpResult::Encrypted);
        ExpectProgress(encrypting, size, true);
        RecordingObserver decrypting;
        ASSERT_EQ(RunObserved(FileOperation::Decrypt, dir.path("enc"), dir.path("dec"), cipher, decrypting),
                  FileOpResult::Decrypted);
        ExpectProgress(decrypting, size + 32, true);
        EXPECT_EQ(ReadFile(dir.path("dec")), plain);

        // From a pipe the total is unknown; the bytes are the same.
        ASSERT_EQ(::mkfifo(dir.path("pipe").c_str(), 0600), 0);
        std::thread feeder([&] { WriteFile(dir.path("pipe"), plain); });
        RecordingObserver piped;
        EXPECT_EQ(RunObserved(FileOperation::Encrypt, dir.path("pipe"), dir.path("enc2"), cipher, piped),
                  FileOpResult::Encrypted);
        feeder.join();
        ExpectProgress(piped, size, false);
        EXPECT_EQ(ReadFile(dir.path("enc2")), ReadFile(dir.path("enc")));
        std::filesystem::remove(dir.path("pipe"));
    }
}

TEST(FileOpObserver, StopAtAnyChunkCancelsAndLosesNothing)
{
    TempDir dir;
    TZC_rijndael cipher;
    WriteFile(dir.path("small"), Pattern(100));
    WriteFile(dir.path("large"), Pattern(6 * kChunk + 10));  // 7 chunks, 7 reports
    RecordingObserver none;
    ASSERT_EQ(RunObserved(FileOperation::Encrypt, dir.path("large"), dir.path("large.enc"), cipher, none), FileOpResult::Encrypted);
    ASSERT_EQ(RunObserved(FileOperation::Encrypt, dir.path("small"), dir.path("small.enc"), cipher, none), FileOpResult::Encrypted);
    const Bytes precious(55, 0xA5);

    struct Case {
        FileOperation operation;
        const char* input;
        std::size_t stopAt;
    };
    const Case cases[] = {
        {FileOperation::Encrypt, "large", 1},     {FileOperation::Encrypt, "large", 4},
        {FileOperation::Encrypt, "large", 7},     {FileOperation::Encrypt, "small", 1},
        {FileOperation::Decrypt, "large.enc", 1}, {FileOperation::Decrypt, "large.enc", 4},
        {FileOperation::Decrypt, "large.enc", 7}, {FileOperation::Decrypt, "small.enc", 1},
    };
    for (const Case& c : cases) {
        for (const bool existing : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.input << ", stop at " << c.stopAt << ", existing " << existing);
            if (existing) WriteFile(dir.path("out"), precious);
            const auto entries = dir.Entries();
            RecordingObserver stopping(c.stopAt);
            EXPECT_EQ(RunObserved(c.operation, dir.path(c.input), dir.path("out"), cipher, stopping), FileOpResult::Cancelled);
            EXPECT_EQ(stopping.reports.size(), c.stopAt);
            EXPECT_EQ(dir.Entries(), entries);
            if (existing) {
                EXPECT_EQ(ReadFile(dir.path("out")), precious);
            }
            EXPECT_FALSE(cipher.Initialized());
            EXPECT_TRUE(AllOnes(cipher.IV(), 16) && AllOnes(cipher.ChainingBlock(), 16));
            std::filesystem::remove(dir.path("out"));
        }
    }
}
