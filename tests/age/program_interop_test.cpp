// zorvanta-cli and Debian's age as whole processes, both ways: keys from either keygen, files
// binary and armored at the payload's chunk boundaries, pipes on both sides, and passphrases
// typed into age on a terminal (age reads them from nowhere else).
#include <gtest/gtest.h>

#include "agefile.h"
#include "support/terminal.h"

namespace {
const std::string kProgram = ZORVANTA_CLI_PROGRAM;
const std::string kArmorBeginLine = std::string(kArmorBegin) + "\n";
const std::size_t kSizes[] = {0, 1, 65535, 65536, 65537, 300000};
// UTF-8, as both programs take a typed passphrase.
const std::string kPassphrase = "caf\u00E9";

std::string TextIn(const std::string& path)
{
    const Bytes bytes = ReadFile(path);
    return {bytes.begin(), bytes.end()};
}

// A folder with an identity from each keygen and their recipients, each read by the other
// keygen's -y.
struct Keys {
    TempDir dir;
    std::string ageKey = dir.path("age.key"), ownKey = dir.path("own.key");
    std::string ageRecipient, ownRecipient;

    std::string at(const std::string& name) const { return dir.path(name); }

    Keys()
    {
        EXPECT_EQ(Shell("age-keygen -o " + ageKey + " 2>/dev/null"), 0);
        EXPECT_EQ(Shell(kProgram + " keygen -o " + ownKey + " 2>/dev/null"), 0);
        EXPECT_EQ(Shell(kProgram + " keygen -y " + ageKey + " > " + at("age.pub")), 0);
        EXPECT_EQ(Shell("age-keygen -y -o " + at("own.pub") + " " + ownKey), 0);
        ageRecipient = TextIn(at("age.pub"));
        ownRecipient = TextIn(at("own.pub"));
        ageRecipient.pop_back();  // the line end
        ownRecipient.pop_back();
    }
    std::string Recipients() const { return " -r " + ageRecipient + " -r " + ownRecipient + " "; }
};
}  // namespace

TEST(AgeProgramInterop, X25519FilesOpenBothWaysWithKeysFromEitherKeygen)
{
    const Keys keys;
    const auto at = [&](const std::string& name) { return keys.at(name); };
    for (const std::size_t size : kSizes) {
        const Bytes plain = Pattern(size);
        WriteFile(at("plain"), plain);
        for (const std::string armor : {"", "-a "}) {
            SCOPED_TRACE(testing::Message() << "size " << size << (armor.empty() ? "" : ", armored"));
            const std::string encrypt = kProgram + " encrypt -q -f " + armor + keys.Recipients();
            ASSERT_EQ(Shell(encrypt + at("plain") + " " + at("own.age")), 0);
            ASSERT_EQ(Shell("age " + armor + keys.Recipients() + "-o " + at("age.age") + " " + at("plain")), 0);
            EXPECT_EQ(TextIn(at("own.age")).starts_with(kArmorBeginLine), !armor.empty());
            for (const std::string& key : {keys.ageKey, keys.ownKey}) {
                ASSERT_EQ(Shell("age -d -i " + key + " " + at("own.age") + " > " + at("dec")), 0) << key;
                EXPECT_EQ(ReadFile(at("dec")), plain) << key;
                const std::string decrypt = kProgram + " decrypt -q -f -i " + key + " ";
                ASSERT_EQ(Shell(decrypt + at("age.age") + " " + at("dec")), 0) << key;
                EXPECT_EQ(ReadFile(at("dec")), plain) << key;
            }
        }
    }
}

TEST(AgeProgramInterop, PipesOnBothSides)
{
    const Keys keys;
    const auto at = [&](const std::string& name) { return keys.at(name); };
    const Bytes plain = Pattern(300000);
    WriteFile(at("plain"), plain);
    const std::string own = kProgram + " ", plainIn = "cat " + at("plain") + " | ", decrypted = " | cat > " + at("dec");
    const std::string pipelines[] = {
        plainIn + own + "encrypt -q -r " + keys.ageRecipient + " - - | age -d -i " + keys.ageKey + decrypted,
        plainIn + own + "encrypt -q -a -r " + keys.ageRecipient + " - - | age -d -i " + keys.ageKey + decrypted,
        plainIn + "age -r " + keys.ownRecipient + " | " + own + "decrypt -q -i " + keys.ownKey + " - -" + decrypted,
        plainIn + "age -a -r " + keys.ownRecipient + " | " + own + "decrypt -q -i " + keys.ownKey + " - -" + decrypted,
    };
    for (const std::string& pipeline : pipelines) {
        std::filesystem::remove(at("dec"));
        EXPECT_EQ(Shell(pipeline), 0) << pipeline;
        EXPECT_EQ(ReadFile(at("dec")), plain) << pipeline;
    }
}

// age -p always uses work factor 18, so it runs only where nothing else shows the same.
TEST(AgeProgramInterop, PassphrasesTypedIntoAgeOnATerminal)
{
    const Keys keys;
    const auto at = [&](const std::string& name) { return keys.at(name); };
    const Bytes plain = Pattern(65537);
    WriteFile(at("plain"), plain);
    const std::string own = "P='" + kPassphrase + "' " + kProgram + " ";

    // Written here under a low work factor: age opens it, from a file and from a pipe.
    const std::string encrypt = own + "encrypt -q --work-factor 10 --passphrase-env P ";
    ASSERT_EQ(Shell(encrypt + "--format age " + at("plain") + " " + at("own.age")), 0);
    ASSERT_EQ(Shell(encrypt + "-a " + at("plain") + " " + at("own.asc")), 0);
    for (const std::string& command : {"age -d -o " + at("dec") + " " + at("own.age"),
                                       "cat " + at("own.asc") + " | age -d > " + at("dec")}) {
        const TerminalRun run = ShellOnTerminal(command, {kPassphrase});
        EXPECT_EQ(run.status, 0) << command << "\n" << run.shown;
        EXPECT_EQ(ReadFile(at("dec")), plain) << command;
    }

    // Written by age, to a file and to a pipe: both open here.
    TerminalRun run = ShellOnTerminal("age -p -o " + at("age.age") + " " + at("plain"), {kPassphrase, kPassphrase});
    ASSERT_EQ(run.status, 0) << run.shown;
    run = ShellOnTerminal("cat " + at("plain") + " | age -p -a | cat > " + at("age.asc"), {kPassphrase, kPassphrase});
    ASSERT_EQ(run.status, 0) << run.shown;
    EXPECT_TRUE(TextIn(at("age.asc")).starts_with(kArmorBeginLine));
    EXPECT_EQ(Shell(own + "decrypt -q -f --passphrase-env P " + at("age.age") + " " + at("dec")), 0);
    EXPECT_EQ(ReadFile(at("dec")), plain);
    EXPECT_EQ(Shell("cat " + at("age.asc") + " | " + own + "decrypt -q --passphrase-env P - - > " + at("dec")), 0);
    EXPECT_EQ(ReadFile(at("dec")), plain);

    // An identity file that age protected with a passphrase opens the files of its key.
    run = ShellOnTerminal("age -p -o " + at("own.key.age") + " " + keys.ownKey, {kPassphrase, kPassphrase});
    ASSERT_EQ(run.status, 0) << run.shown;
    ASSERT_EQ(Shell("age -r " + keys.ownRecipient + " -o " + at("x.age") + " " + at("plain")), 0);
    EXPECT_EQ(Shell(own + "decrypt -q -f --passphrase-env P -i " + at("own.key.age") + " " + at("x.age") + " " +
                    at("dec")), 0);
    EXPECT_EQ(ReadFile(at("dec")), plain);
}

// SSH keys that ssh-keygen makes, both ways with age: Ed25519 and RSA of 2048, 3072 and 4096
// bits, unprotected and under a passphrase (RSA in PEM then: libssh unlocks no protected RSA
// key of OpenSSH's format), each file also for an X25519 key, binary and armored.
TEST(AgeProgramInterop, SshKeysBothWays)
{
    const Keys keys;
    const auto at = [&](const std::string& name) { return keys.at(name); };
    const Bytes plain = Pattern(70000);
    WriteFile(at("plain"), plain);
    const std::string own = "P='" + kPassphrase + "' " + kProgram + " ";
    const struct {
        std::string name, keygen;
        bool isProtected;
    } sshKeys[] = {
        {"ed25519", "-t ed25519", false},          {"ed25519-p", "-t ed25519", true},
        {"rsa2048", "-t rsa -b 2048", false},      {"rsa2048-p", "-t rsa -b 2048 -m PEM", true},
        {"rsa3072", "-t rsa -b 3072", false},      {"rsa3072-p", "-t rsa -b 3072 -m PEM", true},
        {"rsa4096", "-t rsa -b 4096", false},      {"rsa4096-p", "-t rsa -b 4096 -m PEM", true},
    };
    for (const auto& [name, keygen, isProtected] : sshKeys) {
        const std::string key = at(name), passphrase = isProtected ? kPassphrase : "";
        ASSERT_EQ(Shell("ssh-keygen -q " + keygen + " -C " + name + " -N '" + passphrase + "' -f " + key), 0) << name;
        for (const std::string armor : {"", "-a "}) {
            SCOPED_TRACE(name + (armor.empty() ? "" : ", armored"));
            const std::string recipients = "-R " + key + ".pub -r ";
            ASSERT_EQ(Shell(own + "encrypt -q -f " + armor + recipients + keys.ownRecipient + " " + at("plain") + " " +
                            at("own.age")), 0);
            ASSERT_EQ(Shell("age " + armor + recipients + keys.ageRecipient + " -o " + at("age.age") + " " +
                            at("plain")), 0);
            std::filesystem::remove(at("dec"));
            const TerminalRun run = ShellOnTerminal("age -d -i " + key + " -o " + at("dec") + " " + at("own.age"),
                                                    {passphrase});
            EXPECT_EQ(run.status, 0) << run.shown;
            EXPECT_EQ(ReadFile(at("dec")), plain);
            const std::string passphraseOption = isProtected ? "--passphrase-env P " : "";
            EXPECT_EQ(Shell(own + "decrypt -q -f " + passphraseOption + "-i " + key + " " + at("age.age") + " " +
                            at("dec")), 0);
            EXPECT_EQ(ReadFile(at("dec")), plain);
        }
    }

    // A code host's list of a user's keys, through standard input: the ECDSA key is skipped with
    // a warning, and every other key opens the file, here and in age.
    ASSERT_EQ(Shell("ssh-keygen -q -t ecdsa -N '' -f " + at("ecdsa")), 0);
    std::string list;
    for (const std::string name : {"ed25519", "ecdsa", "rsa2048", "rsa4096-p"}) list += TextIn(at(name + ".pub"));
    WriteFile(at("user.keys"), Bytes(list.begin(), list.end()));
    ASSERT_EQ(Shell("cat " + at("user.keys") + " | " + own + "encrypt -q -f -R - " + at("plain") + " " + at("own.age") +
                    " 2> " + at("err")), 0);
    EXPECT_EQ(TextIn(at("err")), "zorvanta-cli: -: line 2: ecdsa-sha2-nistp256 keys cannot be age recipients; skipped\n");
    for (const std::string name : {"ed25519", "rsa2048"}) {
        EXPECT_EQ(Shell("age -d -i " + at(name) + " -o " + at("dec") + " " + at("own.age")), 0) << name;
        EXPECT_EQ(ReadFile(at("dec")), plain) << name;
    }
    ASSERT_EQ(Shell("age -R " + at("user.keys") + " -o " + at("age.age") + " " + at("plain") + " 2>/dev/null"), 0);
    EXPECT_EQ(Shell(own + "decrypt -q -f --passphrase-env P -i " + at("rsa4096-p") + " " + at("age.age") + " " +
                    at("dec")), 0);
    EXPECT_EQ(ReadFile(at("dec")), plain);
}
