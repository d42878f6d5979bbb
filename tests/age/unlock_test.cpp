// Opening files: those age made (tests/data/age/, see SOURCES.md) open to their plain text, and
// every stanza fault is refused with the failure the user is told about.
#include <gtest/gtest.h>

#include "age/ageerror.h"
#include "age/base64.h"
#include "age/stanzas.h"
#include "agefile.h"

namespace {
const SecretBytes kStoredPassphrase = ToSecretBytes("correct horse battery staple");

Unlocking WithIdentity(const std::string& keyFile)
{
    Unlocking unlocking;
    unlocking.identities.push_back(StoredIdentity(keyFile));
    return unlocking;
}
}  // namespace

TEST(Unlock, FilesMadeByAgeOpenToTheirPlainText)
{
    const Bytes plain = AgeData("plain.txt");
    const Bytes shortPlain = AgeData("short.txt");
    EXPECT_EQ(DecryptInMemory(AgeData("x25519.age"), WithIdentity("key1.txt")), plain);
    EXPECT_EQ(DecryptInMemory(AgeData("x25519-armored.age"), WithIdentity("key1.txt")), plain);
    EXPECT_EQ(DecryptInMemory(AgeData("empty.age"), WithIdentity("key1.txt")), Bytes{});
    // The stanza for key1 is the last of three; each key opens its own.
    for (const char* keyFile : {"key1.txt", "key2.txt", "key3.txt"})
        EXPECT_EQ(DecryptInMemory(AgeData("three-recipients.age"), WithIdentity(keyFile)), shortPlain) << keyFile;
    // Several identities: the one that fits is found whatever its place.
    Unlocking several = WithIdentity("key3.txt");
    several.identities.push_back(StoredIdentity("key2.txt"));
    EXPECT_EQ(DecryptInMemory(AgeData("ssh-and-x25519.age"), several), shortPlain);

    Unlocking passphrase;
    passphrase.passphrase = [] { return kStoredPassphrase; };
    EXPECT_EQ(DecryptInMemory(AgeData("scrypt.age"), passphrase), shortPlain);
}

TEST(Unlock, FilesMadeByAgeAreRefusedForTheRightReason)
{
    const auto ssh = FailureOf([] { DecryptInMemory(AgeData("ssh-and-x25519.age"), WithIdentity("key1.txt")); });
    ASSERT_TRUE(ssh);
    EXPECT_EQ(ssh->failure(), AgeFailure::NoIdentityMatched);

    const auto other = FailureOf([] { DecryptInMemory(AgeData("x25519.age"), WithIdentity("key2.txt")); });
    ASSERT_TRUE(other);
    EXPECT_EQ(other->failure(), AgeFailure::NoIdentityMatched);
    EXPECT_STREQ(other->what(), "no identity matched this file");

    // The header's MAC is checked once the file key is known.
    Bytes changedMac = AgeData("x25519.age");
    const std::size_t mac = TextOf(changedMac).find("\n--- ") + 5;
    changedMac[mac] = changedMac[mac] == 'A' ? 'B' : 'A';
    const auto damaged = FailureOf([&] { DecryptInMemory(changedMac, WithIdentity("key1.txt")); });
    ASSERT_TRUE(damaged);
    EXPECT_EQ(damaged->failure(), AgeFailure::HeaderDamaged);
    EXPECT_STREQ(damaged->what(), "the header was changed or damaged");

    Unlocking wrong;
    wrong.passphrase = [] { return ToSecretBytes("correct horse battery stapler"); };
    const auto incorrect = FailureOf([&] { DecryptInMemory(AgeData("scrypt.age"), wrong); });
    ASSERT_TRUE(incorrect);
    EXPECT_EQ(incorrect->failure(), AgeFailure::IncorrectPassphrase);
    EXPECT_STREQ(incorrect->what(), "Incorrect Passphrase");
}

// Headers written here under a known file key, so that each fails for its one fault.
class UnlockFaults : public ::testing::Test {
protected:
    const SecretBytes fileKey_ = GenerateFileKey();
    const X25519Identity identity_ = StoredIdentity("key1.txt");
    const Stanza x25519_ = WrapX25519(fileKey_, RecipientOf(identity_));
    const Stanza scrypt_ = WrapScrypt(fileKey_, ToSecretBytes("pw"), 2);
    int asked_ = 0;

    Unlocking Keys()
    {
        Unlocking unlocking;
        unlocking.identities.push_back(identity_);
        unlocking.passphrase = [this] {
            ++asked_;
            return ToSecretBytes("pw");
        };
        return unlocking;
    }

    SecretBytes Unlock(const std::vector<Stanza>& stanzas, const Unlocking& unlocking)
    {
        return UnlockFileKey(ParseHeader(WriteHeader(stanzas, fileKey_)), unlocking);
    }

    Stanza With(Stanza stanza, std::vector<std::string> args)
    {
        stanza.args = std::move(args);
        return stanza;
    }

    Stanza WithBody(Stanza stanza, std::size_t size)
    {
        stanza.body.resize(size);
        return stanza;
    }
};

TEST_F(UnlockFaults, EachFaultRaisesItsFailure)
{
    const std::string share = x25519_.args[0];
    const std::string salt = scrypt_.args[0];
    const Stanza unknown{"tpm-p256", {"atTdew", share}, Bytes(32)};
    const struct {
        const char* fault;
        std::vector<Stanza> stanzas;
        AgeFailure failure;
        int asked;
    } cases[] = {
        {"scrypt beside X25519", {scrypt_, x25519_}, AgeFailure::HeaderDamaged, 0},
        {"X25519 beside scrypt", {x25519_, scrypt_}, AgeFailure::HeaderDamaged, 0},
        {"two scrypt stanzas", {scrypt_, scrypt_}, AgeFailure::HeaderDamaged, 0},
        {"scrypt beside another type", {scrypt_, unknown}, AgeFailure::HeaderDamaged, 0},
        {"work factor 018", {With(scrypt_, {salt, "018"})}, AgeFailure::HeaderDamaged, 0},
        {"work factor +18", {With(scrypt_, {salt, "+18"})}, AgeFailure::HeaderDamaged, 0},
        {"work factor 0", {With(scrypt_, {salt, "0"})}, AgeFailure::HeaderDamaged, 0},
        {"work factor 1e1", {With(scrypt_, {salt, "1e1"})}, AgeFailure::HeaderDamaged, 0},
        {"work factor beyond int", {With(scrypt_, {salt, "99999999999"})}, AgeFailure::HeaderDamaged, 0},
        {"work factor 23", {With(scrypt_, {salt, "23"})}, AgeFailure::WorkFactorTooLarge, 0},
        {"scrypt with one argument", {With(scrypt_, {salt})}, AgeFailure::HeaderDamaged, 0},
        {"scrypt with three arguments", {With(scrypt_, {salt, "2", "x"})}, AgeFailure::HeaderDamaged, 0},
        {"scrypt salt of 15 bytes", {With(scrypt_, {salt.substr(0, 20), "2"})}, AgeFailure::HeaderDamaged, 0},
        {"scrypt salt padded", {With(scrypt_, {EncodeBase64(Bytes(16), true), "2"})}, AgeFailure::HeaderDamaged, 0},
        {"scrypt body of 31 bytes", {WithBody(scrypt_, 31)}, AgeFailure::HeaderDamaged, 0},
        {"scrypt body of 33 bytes", {WithBody(scrypt_, 33)}, AgeFailure::HeaderDamaged, 0},
        {"wrong passphrase", {WrapScrypt(fileKey_, ToSecretBytes("pW"), 2)}, AgeFailure::IncorrectPassphrase, 1},
        {"X25519 without share", {With(x25519_, {})}, AgeFailure::HeaderDamaged, 0},
        {"X25519 with two arguments", {With(x25519_, {share, share})}, AgeFailure::HeaderDamaged, 0},
        {"X25519 share of 31 bytes", {With(x25519_, {EncodeBase64(Bytes(31, 9), false)})}, AgeFailure::HeaderDamaged,
         0},
        {"X25519 share padded", {With(x25519_, {share + "="})}, AgeFailure::HeaderDamaged, 0},
        {"X25519 body of 33 bytes", {WithBody(x25519_, 33)}, AgeFailure::HeaderDamaged, 0},
        {"malformed X25519 after a good one", {x25519_, WithBody(x25519_, 31)}, AgeFailure::HeaderDamaged, 0},
        {"all-zero share", {With(x25519_, {EncodeBase64(Bytes(32), false)})}, AgeFailure::HeaderDamaged, 0},
        {"another recipient's stanza", {WrapX25519(fileKey_, RecipientOf(GenerateX25519Identity()))},
         AgeFailure::NoIdentityMatched, 0},
        {"unknown types only", {unknown, {"piv-p256", {"x"}, {}}, unknown}, AgeFailure::UnsupportedKeyType, 0},
    };
    for (const auto& [fault, stanzas, failure, asked] : cases) {
        asked_ = 0;
        const auto error = FailureOf([&] { Unlock(stanzas, Keys()); });
        ASSERT_TRUE(error) << fault;
        EXPECT_EQ(error->failure(), failure) << fault << ": " << error->what();
        EXPECT_EQ(asked_, asked) << fault;
    }
}

TEST_F(UnlockFaults, MessagesNameWhatTheUserNeeds)
{
    Unlocking lowLimit = Keys();
    lowLimit.maxWorkFactor = 2;
    const auto tooLarge = FailureOf([&] { Unlock({WrapScrypt(fileKey_, ToSecretBytes("pw"), 3)}, lowLimit); });
    ASSERT_TRUE(tooLarge);
    EXPECT_EQ(tooLarge->workFactor(), 3);
    EXPECT_STREQ(tooLarge->what(), "the passphrase's work factor 3 is above the limit of 2");

    const Stanza unknown{"tpm-p256", {"x"}, {}};
    const auto unsupported =
        FailureOf([&] { Unlock({unknown, {"piv-p256", {"y"}, {}}, unknown, x25519_}, Unlocking{}); });
    ASSERT_TRUE(unsupported);
    EXPECT_STREQ(unsupported->what(), "this file is for a key type zorvanta cannot use (tpm-p256, piv-p256)");

    // A malformed stanza is named with its line, even after the one that opens.
    const auto malformed = FailureOf([&] { Unlock({x25519_, WithBody(x25519_, 31)}, Keys()); });
    ASSERT_TRUE(malformed);
    EXPECT_STREQ(malformed->what(), "the header was changed or damaged (the X25519 stanza at line 4 is malformed)");

    for (const auto& noPassphrase : {std::function<std::optional<SecretBytes>()>{},
                                     std::function<std::optional<SecretBytes>()>{[] { return std::nullopt; }}}) {
        Unlocking unlocking = Keys();
        unlocking.passphrase = noPassphrase;
        const auto needed = FailureOf([&] { Unlock({scrypt_}, unlocking); });
        ASSERT_TRUE(needed);
        EXPECT_EQ(needed->failure(), AgeFailure::NoIdentityMatched);
        EXPECT_STREQ(needed->what(), "this file needs a passphrase");
    }
}

TEST_F(UnlockFaults, TheFileKeyComesBackOnlyWithItsMac)
{
    const Stanza unknown{"tpm-p256", {"x"}, {}};
    EXPECT_EQ(Unlock({unknown, x25519_}, Keys()), fileKey_);
    EXPECT_EQ(asked_, 0);
    EXPECT_EQ(Unlock({scrypt_}, Keys()), fileKey_);
    EXPECT_EQ(asked_, 1);

    // The same stanzas under another key's MAC.
    const Header otherMac = ParseHeader(WriteHeader({x25519_}, GenerateFileKey()));
    const auto damaged = FailureOf([&] { UnlockFileKey(otherMac, Keys()); });
    ASSERT_TRUE(damaged);
    EXPECT_EQ(damaged->failure(), AgeFailure::HeaderDamaged);
}

// A file just written is checked with the key its scrypt stanza was wrapped with: that stanza
// opens without the passphrase, and only that stanza.
TEST_F(UnlockFaults, TheSealingKeyOpensOnlyItsOwnStanza)
{
    ScryptWrapping kept;
    const Stanza sealed = WrapScrypt(fileKey_, ToSecretBytes("pw"), 2, &kept);
    EXPECT_EQ(kept.workFactor, 2);
    Unlocking check = Keys();
    check.sealedWith = kept;
    EXPECT_EQ(Unlock({sealed}, check), fileKey_);
    EXPECT_EQ(asked_, 0);

    // Another salt is not what the key came from: the passphrase is asked for, and opens it.
    EXPECT_EQ(Unlock({scrypt_}, check), fileKey_);
    EXPECT_EQ(asked_, 1);
    // Nor is another work factor with the same salt: the passphrase is asked for, and fails.
    asked_ = 0;
    const auto otherFactor = FailureOf([&] { Unlock({With(sealed, {sealed.args[0], "3"})}, check); });
    ASSERT_TRUE(otherFactor);
    EXPECT_EQ(otherFactor->failure(), AgeFailure::IncorrectPassphrase);
    EXPECT_EQ(asked_, 1);

    // A key that does not open the stanza fails as a wrong passphrase would.
    kept.wrapKey[0] ^= 1;
    check.sealedWith = kept;
    asked_ = 0;
    const auto wrongKey = FailureOf([&] { Unlock({sealed}, check); });
    ASSERT_TRUE(wrongKey);
    EXPECT_EQ(wrongKey->failure(), AgeFailure::IncorrectPassphrase);
    EXPECT_EQ(asked_, 0);
}
