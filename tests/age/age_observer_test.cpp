// The observer of an age run: told on the calling thread how far the input has been read, up
// to its whole size (the header, tags and armor included), for files and pipes; a stop at any
// chunk ends the run Cancelled with nothing created and an existing output unchanged.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <thread>

#include "age/agefile.h"
#include "agefile.h"
#include "support/recordingobserver.h"

namespace {
constexpr std::size_t kChunk = kPayloadChunkBytes;  // a report for each payload chunk

enum class AgeRun { Encrypt, Decrypt, Check };

class AgeObserver : public ::testing::Test {
protected:
    TempDir dir_;
    AgeProtection protection_;
    Unlocking unlocking_;

    AgeObserver()
    {
        protection_.recipients.push_back(ParseRecipient(PrintedRecipient("key1.txt")));
        unlocking_.identities.push_back(StoredIdentity("key1.txt"));
    }

    FileOpResult Observed(AgeRun run, const std::string& in, const std::string& out, FileOpObserver& observer)
    {
        const FileOpOptions options{.observer = &observer, .chunkBytes = kChunk};
        switch (run) {
        case AgeRun::Encrypt: return EncryptAgeFile(dir_.path(in), dir_.path(out), protection_, options);
        case AgeRun::Decrypt: return DecryptAgeFile(dir_.path(in), dir_.path(out), unlocking_, options);
        case AgeRun::Check: return CheckAgeFile(dir_.path(in), unlocking_, options);
        }
        return FileOpResult::Cancelled;
    }
};

// Reports that never go back, each with the same total, ending at the input's size.
void ExpectProgressTo(const RecordingObserver& observer, std::uint64_t size, std::optional<std::uint64_t> total)
{
    ASSERT_FALSE(observer.reports.empty());
    EXPECT_TRUE(observer.onCallingThread);
    std::uint64_t before = 0;
    for (const auto& report : observer.reports) {
        EXPECT_GE(report.done, before);
        EXPECT_EQ(report.total, total);
        before = report.done;
    }
    EXPECT_EQ(before, size);
}
}  // namespace

TEST_F(AgeObserver, ProgressReachesTheInputsSizeForFilesAndPipes)
{
    for (const std::size_t size : {std::size_t{0}, std::size_t{100}, 3 * kChunk + 10}) {
        for (const bool armor : {false, true}) {
            SCOPED_TRACE(testing::Message() << "size " << size << (armor ? ", armored" : ""));
            protection_.armor = armor;
            WriteFile(dir_.path("plain"), Pattern(size));
            RecordingObserver encrypting, decrypting, checking;
            ASSERT_EQ(Observed(AgeRun::Encrypt, "plain", "file", encrypting), FileOpResult::Encrypted);
            ExpectProgressTo(encrypting, size, size);
            const std::uint64_t fileSize = ReadFile(dir_.path("file")).size();
            ASSERT_EQ(Observed(AgeRun::Decrypt, "file", "out", decrypting), FileOpResult::Decrypted);
            ExpectProgressTo(decrypting, fileSize, fileSize);
            ASSERT_EQ(Observed(AgeRun::Check, "file", "", checking), FileOpResult::Decrypted);
            ExpectProgressTo(checking, fileSize, fileSize);

            // From a pipe the total is unknown.
            ASSERT_EQ(::mkfifo(dir_.path("pipe").c_str(), 0600), 0);
            std::thread feeder([&] { WriteFile(dir_.path("pipe"), ReadFile(dir_.path("file"))); });
            RecordingObserver piped;
            EXPECT_EQ(Observed(AgeRun::Decrypt, "pipe", "piped", piped), FileOpResult::Decrypted);
            feeder.join();
            ExpectProgressTo(piped, fileSize, std::nullopt);
            EXPECT_EQ(ReadFile(dir_.path("piped")), Pattern(size));
            for (const char* name : {"file", "out", "pipe", "piped"}) std::filesystem::remove(dir_.path(name));
        }
    }
}

TEST_F(AgeObserver, StopAtAnyChunkCancelsAndLosesNothing)
{
    WriteFile(dir_.path("plain"), Pattern(3 * kChunk + 10));  // 4 chunks, 4 reports
    RecordingObserver none;
    ASSERT_EQ(Observed(AgeRun::Encrypt, "plain", "file", none), FileOpResult::Encrypted);
    const Bytes kept(55, 0xA5);
    const std::pair<AgeRun, const char*> runs[] = {
        {AgeRun::Encrypt, "plain"}, {AgeRun::Decrypt, "file"}, {AgeRun::Check, "file"}};
    for (const auto& [run, input] : runs) {
        for (const std::size_t stopAt : {1, 2, 4}) {
            for (const bool existing : {false, true}) {
                SCOPED_TRACE(testing::Message() << input << ", stop at " << stopAt << ", existing " << existing);
                if (existing) WriteFile(dir_.path("out"), kept);
                const auto entries = dir_.Entries();
                RecordingObserver stopping(stopAt);
                EXPECT_EQ(Observed(run, input, "out", stopping), FileOpResult::Cancelled);
                EXPECT_EQ(stopping.reports.size(), stopAt);
                EXPECT_EQ(dir_.Entries(), entries);
                if (existing) {
                    EXPECT_EQ(ReadFile(dir_.path("out")), kept);
                }
                std::filesystem::remove(dir_.path("out"));
            }
        }
    }
}
