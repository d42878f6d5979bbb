// reseal runs scrypt once per file: the new file's scrypt stanza is checked with the key that
// sealing derived, and only before an original is removed does the passphrase itself open the
// new file a second time. Either way the age file opens under the passphrase to the plaintext.
// NAME.age allows no one what NAME does not, and a batch whose threads cannot start reseals
// every file on its own thread. The host shim (tests/support/hostshim.cpp) refuses the threads.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "age/agefile.h"
#include "batch/reseal.h"
#include "cipher/blowfish.h"
#include "fileenc/fileop.h"
#include "support/tempdir.h"

extern "C" void ZorvantaShimAllowThreads(long count);
extern "C" long ZorvantaShimRefusedThreads();

namespace {
namespace fs = std::filesystem;
const SecretBytes kPassphrase = ToSecretBytes("legacy and new");

// A legacy file at path under the passphrase, whose plaintext is plain.
void WriteLegacy(const TempDir& dir, const std::string& path, const Bytes& plain)
{
    WriteFile(dir.path("plain"), plain);
    TZC_blowfish cipher;
    ASSERT_EQ(EncryptFile(dir.path("plain"), path, kPassphrase, cipher), FileOpResult::Encrypted);
    fs::remove(dir.path("plain"));
}

// Into age files under the passphrase, at a low work factor.
ResealSettings Settings()
{
    ResealSettings settings;
    settings.legacyPassphrase = kPassphrase;
    settings.protection.passphrase = kPassphrase;
    settings.protection.workFactor = 2;
    settings.unlocking.passphrase = [] { return std::optional(kPassphrase); };
    return settings;
}

// The plaintext the age file at path opens to under the passphrase, written beside it.
Bytes OpenedAge(const std::string& path)
{
    Unlocking unlocking;
    unlocking.passphrase = [] { return std::optional(kPassphrase); };
    EXPECT_EQ(DecryptAgeFile(path, path + ".opened", unlocking), FileOpResult::Decrypted) << path;
    return ReadFile(path + ".opened");
}

class Unwatched final : public BatchObserver {
public:
    bool Continue(std::uint64_t, std::uint64_t, std::size_t, std::size_t) override { return true; }
    void Finished(const BatchFile&, const FileReport&) override {}
    void Notice(const std::string&) override {}
};

// First in this program and refusing threads from its start, so that no parked thread is there
// to serve: every thread the batch and its files' work ask for is refused, as in a process at
// its limit.
TEST(Reseal, ABatchWhoseThreadsCannotStartResealsEveryFileOnItsOwnThread)
{
    const long refusedBefore = ZorvantaShimRefusedThreads();
    ZorvantaShimAllowThreads(0);
    for (const std::size_t jobs : {1u, 2u}) {
        SCOPED_TRACE(jobs);
        const TempDir dir;
        std::vector<BatchFile> files;
        for (std::uint8_t i = 0; i < 3; ++i) {
            const std::string name = "f" + std::to_string(i);
            WriteLegacy(dir, dir.path(name), Sample(300000, i));
            files.push_back({dir.path(name), name, 300000 + 32});
        }
        const ResealTask task(Settings());
        Unwatched observer;
        const BatchSummary summary = RunBatch(files, task, jobs, observer);
        EXPECT_EQ(summary.done, files.size());
        for (std::uint8_t i = 0; i < 3; ++i) EXPECT_EQ(OpenedAge(files[i].path + ".age"), Sample(300000, i));
    }
    ZorvantaShimAllowThreads(-1);
    EXPECT_GT(ZorvantaShimRefusedThreads(), refusedBefore);
}
TEST(Reseal, RunsScryptOnceUnlessTheOriginalIsRemoved)
{
    for (const bool deleteOriginals : {false, true}) {
        SCOPED_TRACE(deleteOriginals ? "deleting the original" : "keeping the original");
        const TempDir dir;
        const Bytes plain = Sample(100000);
        WriteLegacy(dir, dir.path("f"), plain);

        int asked = 0;  // each time the check asks for the passphrase, it runs scrypt
        ResealSettings settings = Settings();
        settings.unlocking.passphrase = [&asked] {
            ++asked;
            return std::optional(kPassphrase);
        };
        settings.deleteOriginals = deleteOriginals;
        const ResealTask task(std::move(settings));
        const FileOpOptions options;
        const FileReport report = task.Run({dir.path("f"), "f", plain.size() + 32}, {options, options});

        EXPECT_EQ(report.outcome, BatchOutcome::Done) << report.detail;
        EXPECT_EQ(asked, deleteOriginals ? 1 : 0);
        EXPECT_EQ(fs::exists(dir.path("f")), !deleteOriginals);
        EXPECT_EQ(OpenedAge(dir.path("f.age")), plain);
    }
}

TEST(Reseal, AResealedFileAllowsNoOneWhatItsOriginalDoesNot)
{
    const TempDir dir;
    const ResealTask task(Settings());
    const FileOpOptions options;
    for (const fs::perms mode : {fs::perms(0600), fs::perms(0640), fs::perms(0604), fs::perms(0400)}) {
        char octal[8];
        std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode));
        const std::string name = dir.path(octal);
        WriteLegacy(dir, name, Sample(100));
        fs::permissions(name, mode);
        const FileReport report = task.Run({name, name, 132}, {options, options});
        ASSERT_EQ(report.outcome, BatchOutcome::Done) << report.detail;
        const fs::perms made = fs::status(name + ".age").permissions();
        const auto others = fs::perms::group_all | fs::perms::others_all;
        EXPECT_EQ(made & others & ~mode, fs::perms::none) << name;
        // Its owner may always read and write it.
        EXPECT_EQ(made & fs::perms::owner_all, fs::perms::owner_read | fs::perms::owner_write) << name;
    }
}

}  // namespace
