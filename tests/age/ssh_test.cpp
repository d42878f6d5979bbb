// SSH keys as recipients and identities: the files Debian's age wrote for keys that ssh-keygen
// made (tests/data/age/ssh/, see SOURCES.md) open here with those keys, protected or not, and
// the stanzas written here open with them too; a changed stanza, another key and a wrong
// passphrase are refused for what they are, and a passphrase is asked for only when a stanza
// names its key.
#include <gtest/gtest.h>

#include "age/ageerror.h"
#include "age/base64.h"
#include "age/recipients.h"
#include "age/sshkeys.h"
#include "age/sshstanzas.h"
#include "agefile.h"

namespace {
const std::string kPassphrase = "ssh passphrase";

std::string SshText(const std::string& name)
{
    const Bytes bytes = AgeData("ssh/" + name);
    return {bytes.begin(), bytes.end()};
}

std::string PublicLine(const std::string& key)
{
    const std::string text = SshText(key + ".pub");
    return text.substr(0, text.find('\n'));
}

// The key file's identity, with its .pub beside it; each passphrase it asks for is counted in
// asked. Without a passphrase given, it can have none.
Identity SshIdentityOf(const std::string& key, int* asked = nullptr, std::optional<std::string> passphrase = kPassphrase)
{
    const auto ask = [asked, passphrase]() -> std::optional<SecretBytes> {
        if (asked) ++*asked;
        if (!passphrase) return std::nullopt;
        return ToSecretBytes(*passphrase);
    };
    return ParseIdentities(AgeSecretData("ssh/" + key), ask, PublicLine(key)).at(0);
}

Unlocking With(std::vector<Identity> identities)
{
    Unlocking unlocking;
    unlocking.identities = std::move(identities);
    return unlocking;
}

std::string Message(const std::optional<AgeError>& error)
{
    return error ? error->what() : "(no error)";
}

const SshPublicKey& SshKey(const Recipient& recipient)
{
    return std::get<SshPublicKey>(recipient);
}

// Keys of both types, as OpenSSH writes them and as PEM, unprotected and protected.
const struct {
    const char* key;
    bool isProtected;
} kKeys[] = {
    {"ed25519", false}, {"ed25519-protected", true}, {"rsa2048", false}, {"rsa-pem", false},
    {"rsa-pkcs8-protected", true},
};
}  // namespace

TEST(SshKeys, FilesAgeWroteOpenWithTheKeysAndStanzasWrittenHereToo)
{
    const Bytes plain = AgeData("short.txt");
    for (const auto& [key, isProtected] : kKeys) {
        SCOPED_TRACE(key);
        int asked = 0;
        const Unlocking unlocking = With({SshIdentityOf(key, &asked)});
        EXPECT_EQ(DecryptInMemory(AgeData(std::string("ssh/") + key + ".age"), unlocking), plain);
        EXPECT_EQ(asked, isProtected ? 1 : 0);

        const Recipient recipient = ParseRecipientLine(PublicLine(key));
        EXPECT_EQ(std::get<SshIdentity>(unlocking.identities[0]).PublicKey(), SshKey(recipient));
        const SecretBytes fileKey = GenerateFileKey();
        const Bytes written = EncryptInMemory(plain, {WrapFor(fileKey, recipient)}, fileKey);
        EXPECT_EQ(DecryptInMemory(written, unlocking), plain);
        EXPECT_EQ(asked, isProtected ? 1 : 0) << "a passphrase is asked for once";
    }
}

TEST(SshKeys, TheTagIsTheStartOfTheFingerprintAsSshKeygenShowsIt)
{
    // ssh-keygen -l -f ed25519.pub
    const SshPublicKey key = SshKey(ParseRecipientLine(PublicLine("ed25519")));
    EXPECT_EQ(SshFingerprint(key), "SHA256:Yi0Fi3ZG6UqiIcOPzwN5PqbvPtp3+zUOrRDp8ONrjaI");
    EXPECT_EQ(SshTag(key), "Yi0Fiw");
    EXPECT_TRUE(SshText("ed25519.age").find("\n-> ssh-ed25519 Yi0Fiw ") != std::string::npos);
    EXPECT_EQ(FormatSshPublicKey(key) + " ed25519@zorvanta", PublicLine("ed25519"));
}

TEST(SshKeys, AFileForAnotherKeyNamesTheStanzaAndTheKeysGiven)
{
    const auto error = FailureOf([] { DecryptInMemory(AgeData("ssh/ed25519.age"), With({SshIdentityOf("other-ed25519")})); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->failure(), AgeFailure::NoIdentityMatched);
    const SshPublicKey other = SshKey(ParseRecipientLine(PublicLine("other-ed25519")));
    EXPECT_EQ(Message(error), "this file is for an ssh-ed25519 key with tag Yi0Fiw; the keys given (" +
                                  SshFingerprint(other) + ") do not match");

    const auto none = FailureOf([] { DecryptInMemory(AgeData("ssh/rsa2048.age"), Unlocking{}); });
    EXPECT_EQ(Message(none), "this file is for an ssh-rsa key with tag OoxuZA; no key was given");
    // X25519 stanzas beside it: an age key given is named by its recipient.
    const auto mixed = FailureOf([] { DecryptInMemory(AgeData("ssh-and-x25519.age"), With({StoredIdentity("key1.txt")})); });
    EXPECT_EQ(Message(mixed), "this file is for an ssh-ed25519 key with tag atTdew; the keys given (" +
                                  PrintedRecipient("key1.txt") + ") do not match");
}

TEST(SshKeys, APassphraseIsAskedForOnlyWhenAStanzaNamesItsKey)
{
    const Bytes plain = AgeData("short.txt");
    int asked = 0;
    // The protected key comes first, but the file is for the other.
    EXPECT_EQ(DecryptInMemory(AgeData("ssh/ed25519.age"),
                              With({SshIdentityOf("ed25519-protected", &asked), SshIdentityOf("ed25519")})),
              plain);
    EXPECT_EQ(DecryptInMemory(AgeData("ssh/rsa-pem.age"),
                              With({SshIdentityOf("rsa-pkcs8-protected", &asked), SshIdentityOf("rsa-pem")})),
              plain);
    EXPECT_EQ(asked, 0);

    const struct {
        const char* key;
        std::optional<std::string> passphrase;
        AgeFailure failure;
        std::string message;
    } refusals[] = {
        {"ed25519-protected", "wrong", AgeFailure::IncorrectPassphrase,
         "the passphrase of the ssh-ed25519 key SHA256:", },
        {"rsa-pkcs8-protected", "wrong", AgeFailure::IncorrectPassphrase, "the passphrase of the ssh-rsa key SHA256:"},
        {"ed25519-protected", std::nullopt, AgeFailure::NoIdentityMatched, "the ssh-ed25519 key SHA256:"},
        // libssh gives no unlocked RSA key from OpenSSH's protected format; the refusal says what works.
        {"rsa-protected", kPassphrase, AgeFailure::BadKey, "the ssh-rsa key SHA256:"},
    };
    for (const auto& [key, passphrase, failure, start] : refusals) {
        SCOPED_TRACE(key);
        const auto error = FailureOf([&] {
            DecryptInMemory(AgeData(std::string("ssh/") + key + ".age"), With({SshIdentityOf(key, nullptr, passphrase)}));
        });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->failure(), failure);
        EXPECT_TRUE(Message(error).starts_with(start)) << Message(error);
    }
}

TEST(SshKeys, ChangedStanzasAreRefused)
{
    const SecretBytes fileKey = GenerateFileKey();
    const Stanza ed25519 = WrapFor(fileKey, ParseRecipientLine(PublicLine("ed25519")));
    const Stanza rsa = WrapFor(fileKey, ParseRecipientLine(PublicLine("rsa2048")));
    const auto changed = [](Stanza stanza, auto change) {
        change(stanza);
        return stanza;
    };
    const auto flipLast = [](std::string& text) { text.back() = text.back() == 'A' ? 'Q' : 'A'; };
    const struct {
        const char* fault;
        Stanza stanza;
        AgeFailure failure;
    } cases[] = {
        {"ed25519 tag", changed(ed25519, [&](Stanza& s) { s.args[0] = "AAAAAA"; }), AgeFailure::NoIdentityMatched},
        {"ed25519 share", changed(ed25519, [&](Stanza& s) { s.args[1][0] ^= 1; }), AgeFailure::HeaderDamaged},
        {"ed25519 body", changed(ed25519, [](Stanza& s) { s.body[5] ^= 1; }), AgeFailure::HeaderDamaged},
        {"ed25519 body cut", changed(ed25519, [](Stanza& s) { s.body.pop_back(); }), AgeFailure::HeaderDamaged},
        {"ed25519 share not canonical", changed(ed25519, [&](Stanza& s) { flipLast(s.args[1]); }),
         AgeFailure::HeaderDamaged},
        {"ed25519 third argument", changed(ed25519, [](Stanza& s) { s.args.push_back("x"); }),
         AgeFailure::HeaderDamaged},
        {"rsa tag", changed(rsa, [](Stanza& s) { s.args[0] = "AAAAAA"; }), AgeFailure::NoIdentityMatched},
        {"rsa tag of 3 bytes", changed(rsa, [](Stanza& s) { s.args[0] = "AAAA"; }), AgeFailure::HeaderDamaged},
        {"rsa body", changed(rsa, [](Stanza& s) { s.body[100] ^= 1; }), AgeFailure::HeaderDamaged},
        {"rsa body empty", changed(rsa, [](Stanza& s) { s.body.clear(); }), AgeFailure::HeaderDamaged},
    };
    const Unlocking keys = With({SshIdentityOf("ed25519"), SshIdentityOf("rsa2048")});
    for (const auto& [fault, stanza, failure] : cases) {
        const Bytes file = EncryptInMemory(AgeData("short.txt"), {stanza}, fileKey);
        const auto error = FailureOf([&] { DecryptInMemory(file, keys); });
        ASSERT_TRUE(error) << fault;
        EXPECT_EQ(error->failure(), failure) << fault << ": " << error->what();
    }
}

TEST(SshKeys, ListsOfKeysTakeTheUsableOnesAndSkipTheOthersByLine)
{
    const std::string list = "# github.com/someone.keys\n" + PublicLine("ed25519") + "\n" + PublicLine("ecdsa") +
                             "\n" + PublicLine("rsa2048") + "\nsk-ssh-ed25519@openssh.com AAAA x\n" +
                             PrintedRecipient("key1.txt") + "\n";
    const RecipientList parsed = ParseRecipientList(list);
    ASSERT_EQ(parsed.recipients.size(), 3u);
    EXPECT_EQ(SshKey(parsed.recipients[1]).type, SshKeyType::Rsa);
    EXPECT_EQ(parsed.warnings, (std::vector<std::string>{
                                   "line 3: ecdsa-sha2-nistp256 keys cannot be age recipients; skipped",
                                   "line 5: sk-ssh-ed25519@openssh.com keys cannot be age recipients; skipped"}));

    const std::string ed25519 = PublicLine("ed25519");
    const struct {
        std::string text;
        std::string message;
    } refusals[] = {
        {PublicLine("ecdsa") + "\n", "no usable recipient found"},
        {"\n" + PublicLine("rsa1024"), "line 2 is an ssh-rsa key of 1024 bits; a recipient needs at least 2048"},
        {ed25519.substr(0, 30), "line 1 is an ssh-ed25519 key whose base64 part is damaged or of another type"},
        // The type word and the key inside differ.
        {"ssh-rsa" + ed25519.substr(11), "line 1 is an ssh-rsa key whose base64 part is damaged or of another type"},
    };
    for (const auto& [text, message] : refusals)
        EXPECT_EQ(Message(FailureOf([&] { ParseRecipientList(text); })), message) << text;
    EXPECT_EQ(Message(FailureOf([] { ParseRecipientLine(PublicLine("ecdsa")); })),
              "the recipient is an SSH key of a type that cannot be an age recipient (only ssh-ed25519 and ssh-rsa can)");
}
