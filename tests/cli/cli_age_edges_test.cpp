// zorvanta-cli's age commands at their edges: a secret key given where a recipient belongs is
// never shown, not even in part; work factors stay within what age tools open and what the
// machine's memory holds; each refusal is told as one, with its exit status; key files under a
// passphrase, and the secret keys keygen writes.
#include <unistd.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <sstream>

#include "age/agecrypto.h"
#include "age/base64.h"
#include "age/header.h"
#include "cli/clicases.h"
#include "cli/options.h"
#include "support/pipeinput.h"

namespace {
std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// An age file whose only stanza is a scrypt one of that work factor (which is refused before it
// would open).
Bytes ScryptFile(int workFactor)
{
    const Stanza stanza{"scrypt", {EncodeBase64(Bytes(16, 7), false), std::to_string(workFactor)}, Bytes(32, 9)};
    const std::string header = WriteHeader({stanza}, SecretBytes(16, 1));
    Bytes file(header.begin(), header.end());
    file.resize(file.size() + 16 + 32, 5);
    return file;
}

// The identity line of a key file.
std::string IdentityIn(const std::string& keyFile)
{
    const std::string text = TextOf(keyFile);
    const std::size_t start = text.find("AGE-SECRET-KEY-1");
    return text.substr(start, text.find('\n', start) - start);
}
}  // namespace

TEST(CliAgeEdges, ASecretKeyWhereARecipientBelongsIsNeverShown)
{
    const TempDir dir;
    WriteFile(dir.path("plain"), Sample(10));
    const std::string key = IdentityIn(DataPath("age/key1.txt"));
    const std::string secretPart = Lower(key.substr(16, 12));  // after "AGE-SECRET-KEY-1"
    const auto write = [&](const std::string& name, const std::string& text) {
        WriteFile(dir.path(name), Bytes(text.begin(), text.end()));
    };
    write("quoted", "KEY=\"" + key + "\"\n");
    write("bom", "# keys\n\xEF\xBB\xBF" + Lower(key) + "\n");
    const Case cases[] = {
        {"-r, behind a space", {"encrypt", "-r", " " + key, "{}/plain", "{}/x.age"}, 2, Text::Err,
         "zorvanta-cli: the recipient holds a secret key, not a public key\n"},
        {"-r, behind a quote", {"encrypt", "-r", "'" + key + "'", "{}/plain", "{}/x.age"}, 2, Text::Err,
         "zorvanta-cli: the recipient holds a secret key, not a public key\n"},
        {"-R, quoted in a line", {"encrypt", "-R", "{}/quoted", "{}/plain", "{}/x.age"}, 1, Text::Err,
         "zorvanta-cli: {}/quoted: line 1 holds a secret key, not a public key\n"},
        {"-R, lower case behind a byte-order mark", {"encrypt", "-R", "{}/bom", "{}/plain", "{}/x.age"}, 1, Text::Err,
         "zorvanta-cli: {}/bom: line 2 holds a secret key, not a public key\n"},
    };
    for (const Case& c : cases) {
        ExpectCase(c, dir);
        std::vector<std::string> args;
        for (const std::string& arg : c.args) args.push_back(InFolder(arg, dir));
        EXPECT_EQ(Lower(RunCliWith(args).err).find(secretPart), std::string::npos) << c.what;
    }
}

TEST(CliAgeEdges, WorkFactorsStayWithinWhatAgeToolsOpenAndTheMemoryHolds)
{
    const TempDir dir;
    WriteFile(dir.path("plain"), Sample(10));
    const std::string encrypt = "--work-factor takes a whole number from 1 to 22 (age tools refuse a file of a larger one)\n";
    const Case cases[] = {
        {"23", {"encrypt", "--format", "age", "--work-factor", "23", "--passphrase-hex", "00", "{}/plain", "{}/x.age"},
         2, Text::Err, encrypt},
        {"0", {"encrypt", "--format", "age", "--work-factor", "0", "--passphrase-hex", "00", "{}/plain", "{}/x.age"},
         2, Text::Err, encrypt},
        {"31 to open", {"decrypt", "--max-work-factor", "31", "{}/x.age", "{}/new"}, 2, Text::Err,
         "--max-work-factor takes a whole number from 1 to 30\n"},
    };
    for (const Case& c : cases) ExpectCase(c, dir);
    if (LargestWorkFactorInMemory() < 30) {
        const std::string largest = std::to_string(LargestWorkFactorInMemory() + 1);
        ExpectCase({"beyond the memory", {"check", "--max-work-factor", largest, "{}/x.age"}, 2, Text::Err,
                    "zorvanta-cli: --max-work-factor " + largest + " needs "},
                   dir);
    }

    // The advice to raise --max-work-factor names only a value that the option takes.
    for (const int workFactor : {23, 31}) {
        WriteFile(dir.path("wf.age"), ScryptFile(workFactor));
        const CliRun run = RunCliWith({"check", "--passphrase-hex", "00", dir.path("wf.age")});
        EXPECT_EQ(run.status, 1);
        const std::string above = "the passphrase's work factor " + std::to_string(workFactor) + " is above the limit of 22";
        EXPECT_NE(run.err.find(above), std::string::npos) << run.err;
        const std::string advice = workFactor <= LargestMaxWorkFactor()
                                       ? "; allow it with --max-work-factor " + std::to_string(workFactor) + "\n"
                                       : "; this machine's memory cannot hold its scrypt run\n";
        EXPECT_TRUE(run.err.ends_with(advice)) << run.err;
    }
}

TEST(CliAgeEdges, AStreamIntoAnOutputWrittenInPlaceIsARefusal)
{
    const TempDir dir;
    WriteFile(dir.path("plain"), Sample(10));
    const std::string key = DataPath("age/key1.txt");
    const std::string keyText = TextOf(key);
    const std::size_t start = keyText.find("age1");
    const std::string recipient = keyText.substr(start, keyText.find('\n', start) - start);
    ASSERT_EQ(RunCliWith({"encrypt", "-q", "-r", recipient, dir.path("plain"), dir.path("x.age")}).status, 0);
    WriteFile(dir.path("linked"), Sample(5));
    ASSERT_EQ(::link(dir.path("linked").c_str(), dir.path("twin").c_str()), 0);  // so written in place
    PipeInput pipe(dir.path("pipe"));
    pipe.Write(TextOf(dir.path("x.age")));
    ExpectCase({"stream in place", {"decrypt", "-f", "-i", key, "-", "{}/linked"}, 1, Text::Err,
                "zorvanta-cli: standard input: {}/linked is written in place", {},
                CliScript{.standardInput = "{}/pipe"}},
               dir);
}

TEST(CliAgeEdges, KeyFilesUnderAPassphraseAndTheKeysKeygenWrites)
{
    const TempDir dir;
    const std::string key = DataPath("age/key1.txt");
    const std::string keyText = TextOf(key);
    const std::size_t start = keyText.find("age1");
    const std::string recipient = keyText.substr(start, keyText.find('\n', start) - start);
    WriteFile(dir.path("plain"), Sample(10));
    const CliScript pw{.variables = {{"P", "pw"}}};
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--format", "age", "--work-factor", "10", "--passphrase-env", "P", key, dir.path("key.age")},
             {"--format", "age", "--work-factor", "10", "--passphrase-env", "P", dir.path("plain"), dir.path("pass.age")},
             {"-r", recipient, key, dir.path("keyforkey.age")},
             {"-r", recipient, dir.path("plain"), dir.path("x.age")}}) {
        std::vector<std::string> command{"encrypt", "-q"};
        command.insert(command.end(), args.begin(), args.end());
        ASSERT_EQ(RunCliWith(command, pw).status, 0) << args.back();
    }
    WriteFile(dir.path("shared"), {});
    ::chmod(dir.path("shared").c_str(), 0644);
    const Case cases[] = {
        {"keygen -y with a passphrase option", {"keygen", "-y", "--passphrase-env", "P", "{}/key.age"}, 0, Text::Out,
         recipient + "\n", {}, pw},
        {"keygen with a passphrase option", {"keygen", "--passphrase-env", "P"}, 2, Text::Err,
         "zorvanta-cli: the passphrase options are for keygen -y\n", {}, pw},
        {"a key file encrypted to a key", {"decrypt", "-i", "{}/keyforkey.age", "{}/x.age", "{}/new"}, 1, Text::Err,
         "zorvanta-cli: {}/keyforkey.age: this key file is encrypted to a public key; key files must be protected by "
         "a passphrase\n"},
    };
    for (const Case& c : cases) ExpectCase(c, dir);
    // keygen into a file others can read warns; -o makes a file for its owner alone.
    const CliRun shared = RunCliWith({"keygen"}, CliScript{.standardOutput = dir.path("shared")});
    EXPECT_TRUE(shared.err.starts_with("zorvanta-cli: warning: standard output holds the secret key and others can "
                                       "read it; keep it to its owner (chmod 600)\nPublic key: age1"))
        << shared.err;
    const CliRun own = RunCliWith({"keygen", "-o", dir.path("mine")});
    EXPECT_TRUE(own.err.starts_with("Public key: age1")) << own.err;

    // A key file and the file itself both under a passphrase: each prompt says for what.
    std::vector<std::string> prompts;
    std::ostringstream out, err;
    CliEnvironment env{out, err, [&](const std::string& prompt) -> std::optional<SecretBytes> {
                           prompts.push_back(prompt);
                           return ToSecretBytes("pw");
                       },
                       [](const std::string&) -> std::optional<std::string> { return std::nullopt; }};
    EXPECT_EQ(RunCli({"decrypt", "-i", dir.path("key.age"), dir.path("pass.age"), dir.path("new")}, env), 0)
        << err.str();
    EXPECT_EQ(prompts, (std::vector<std::string>{"Passphrase for key file " + dir.path("key.age") + ": ",
                                                 "Passphrase for " + dir.path("pass.age") + ": "}));
}
