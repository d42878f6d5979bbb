// reseal runs scrypt once per file: the new file's scrypt stanza is checked with the key that
// sealing derived, and only before an original is removed does the passphrase itself open the
// new file a second time. Either way the age file opens under the passphrase to the plaintext.
#include <gtest/gtest.h>

#include <filesystem>

#include "age/agefile.h"
#include "batch/reseal.h"
#include "cipher/blowfish.h"
#include "fileenc/fileop.h"
#include "support/tempdir.h"

namespace {
const SecretBytes kPassphrase = ToSecretBytes("legacy and new");

TEST(Reseal, RunsScryptOnceUnlessTheOriginalIsRemoved)
{
    for (const bool deleteOriginals : {false, true}) {
        SCOPED_TRACE(deleteOriginals ? "deleting the original" : "keeping the original");
        const TempDir dir;
        const Bytes plain = Sample(100000);
        WriteFile(dir.path("plain"), plain);
        TZC_blowfish cipher;
        ASSERT_EQ(EncryptFile(dir.path("plain"), dir.path("f"), kPassphrase, cipher), FileOpResult::Encrypted);

        int asked = 0;  // each time the check asks for the passphrase, it runs scrypt
        ResealSettings settings;
        settings.legacyPassphrase = kPassphrase;
        settings.protection.passphrase = kPassphrase;
        settings.protection.workFactor = 2;
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
        EXPECT_EQ(std::filesystem::exists(dir.path("f")), !deleteOriginals);
        Unlocking unlocking;
        unlocking.passphrase = [] { return std::optional(kPassphrase); };
        ASSERT_EQ(DecryptAgeFile(dir.path("f.age"), dir.path("back"), unlocking), FileOpResult::Decrypted);
        EXPECT_EQ(ReadFile(dir.path("back")), plain);
    }
}
}  // namespace
