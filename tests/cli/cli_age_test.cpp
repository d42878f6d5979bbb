// zorvanta-cli's age commands in this process: each refusal with its own message and no file
// left, the options that choose the format, identity files under a passphrase, keygen, check,
// and the rules every file command keeps (no overwrite, Ctrl-C, progress).
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "age/armor.h"
#include "age/keys.h"
#include "cli/clicases.h"

namespace {
const Bytes kPlain{'h', 'e', 'l', 'l', 'o', ' ', 0xE9, 0, 1, 2};
const Bytes kKept{'k', 'e', 'p', 't'};
const std::string kPw = "7077";  // "pw"
constexpr std::size_t kChunk = 64 * 1024;

std::string AsString(const Bytes& bytes)
{
    return {bytes.begin(), bytes.end()};
}

// The recipient in a key file's "# public key: " line.
std::string RecipientIn(const std::string& keyFile)
{
    const std::string text = AsString(ReadFile(keyFile));
    const std::size_t start = text.find("# public key: ") + 14;
    return text.substr(start, text.find('\n', start) - start);
}

const std::string kRecipient1 = RecipientIn(DataPath("age/key1.txt"));
const std::string kRecipient2 = RecipientIn(DataPath("age/key2.txt"));
const Bytes kShort = ReadFile(DataPath("age/short.txt"));

// The first line of an SSH public key file in tests/data/age/ssh/.
std::string SshPublicLine(const std::string& key)
{
    const std::string text = AsString(ReadFile(DataPath("age/ssh/" + key + ".pub")));
    return text.substr(0, text.find('\n'));
}

std::string SshFile(const std::string& name)
{
    return DataPath("age/ssh/" + name);
}

// A folder with the keys key1.txt and key2.txt, a recipients file, age files to key1 (x.age:
// plain; two.age: two chunks, the second short; full.age: one full chunk) and damaged copies,
// a file under the passphrase "pw" at work factor 10, key1.txt under that passphrase, a
// legacy Blowfish file and an existing output.
struct Workspace {
    TempDir dir;
    std::string operator()(const std::string& name) const { return dir.path(name); }

    Workspace()
    {
        const auto& at = *this;
        WriteFile(at("plain"), kPlain);
        WriteFile(at("two"), Sample(kChunk + 1));
        WriteFile(at("full"), Sample(kChunk));
        WriteFile(at("exists"), kKept);
        for (const std::string key : {"key1.txt", "key2.txt"}) WriteFile(at(key), ReadFile(DataPath("age/" + key)));
        // SSH private keys as ssh-keygen leaves them, readable by their owner alone, and one
        // that others may read.
        for (const std::string key : {"ed25519", "ed25519-protected", "rsa-protected", "rsa-pkcs8-protected"}) {
            WriteFile(at(key), ReadFile(SshFile(key)));
            ::chmod(at(key).c_str(), 0600);
        }
        WriteFile(at("open-ed25519"), ReadFile(SshFile("ed25519")));
        ::chmod(at("open-ed25519").c_str(), 0644);
        const std::string keys = "# keys\n" + SshPublicLine("ed25519") + "\n" + SshPublicLine("ecdsa") + "\n";
        WriteFile(at("keys"), Bytes(keys.begin(), keys.end()));
        const std::string recipients = "# team\n\n" + kRecipient1 + "\n   \n# more\n  " + kRecipient2 + " \n";
        WriteFile(at("recipients"), Bytes(recipients.begin(), recipients.end()));
        const CliScript pw{.variables = {{"P", "pw"}}};
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {"-r", kRecipient1, at("plain"), at("x.age")},
                 {"-r", kRecipient1, at("two"), at("two.age")},
                 {"-r", kRecipient1, at("full"), at("full.age")},
                 {"--format", "age", "--work-factor", "10", "--passphrase-env", "P", at("plain"), at("pass.age")},
                 {"--format", "age", "--work-factor", "10", "--passphrase-env", "P", at("key1.txt"), at("key1.age")},
                 {"-c", "blowfish", "--passphrase-env", "P", at("plain"), at("enc")}}) {
            std::vector<std::string> command{"encrypt", "-q"};
            command.insert(command.end(), args.begin(), args.end());
            EXPECT_EQ(RunCliWith(command, pw).status, 0) << args.back();
        }
        // One recipient: a header of 168 bytes, the nonce, then chunk 1 at byte 184.
        Bytes file = ReadFile(at("x.age"));
        file[160] = file[160] == 'A' ? 'B' : 'A';  // in the MAC
        WriteFile(at("header.age"), file);
        file = ReadFile(at("two.age"));
        file[184 + kChunk + 16 + 3] ^= 1;
        WriteFile(at("chunk.age"), file);
        file.resize(184 + kChunk + 16);
        WriteFile(at("cut.age"), file);
        file = ReadFile(at("full.age"));
        file.push_back('x');
        WriteFile(at("trailing.age"), file);
    }
};

using Args = std::vector<std::string>;

const Case kCases[] = {
    // Each refusal says why, exits 1 and leaves no output.
    {"identity with a legacy file", {"decrypt", "-i", "{}/key1.txt", "--passphrase-hex", kPw, "{}/enc", "{}/new"}, 1,
     Text::Err, "zorvanta-cli: {}/enc: not an age file\n"},
    {"no identity matched", {"decrypt", "-i", "{}/key2.txt", "{}/x.age", "{}/new"}, 1, Text::Err,
     "zorvanta-cli: {}/x.age: no identity matched this file\n"},
    {"wrong passphrase", {"decrypt", "--passphrase-hex", "00", "{}/pass.age", "{}/new"}, 1, Text::Err,
     "zorvanta-cli: {}/pass.age: Incorrect Passphrase\n"},
    {"header changed", {"decrypt", "-i", "{}/key1.txt", "{}/header.age", "{}/new"}, 1, Text::Err,
     "zorvanta-cli: {}/header.age: the header was changed or damaged\n"},
    {"chunk changed", {"decrypt", "-i", "{}/key1.txt", "{}/chunk.age", "{}/new"}, 1, Text::Err,
     "zorvanta-cli: {}/chunk.age: chunk 2 (at byte 65736) failed to authenticate\n"},
    {"truncated", {"decrypt", "-i", "{}/key1.txt", "{}/cut.age", "{}/new"}, 1, Text::Err,
     "zorvanta-cli: {}/cut.age: the file is truncated\n"},
    {"trailing data", {"decrypt", "-i", "{}/key1.txt", "{}/trailing.age", "{}/new"}, 1, Text::Err,
     "zorvanta-cli: {}/trailing.age: the file has data after its end\n"},
    {"work factor above the limit",
     {"decrypt", "--max-work-factor", "9", "--passphrase-hex", kPw, "{}/pass.age", "{}/new"}, 1, Text::Err,
     "zorvanta-cli: {}/pass.age: the passphrase's work factor 10 is above the limit of 9; allow it with "
     "--max-work-factor 10\n"},
    {"an SSH key's file", {"decrypt", "-i", "{}/key1.txt", DataPath("age/ssh-and-x25519.age"), "{}/new"}, 1,
     Text::Err, ": this file is for an ssh-ed25519 key with tag atTdew; the keys given (" + kRecipient1 +
     ") do not match\n"},
    {"existing output", {"decrypt", "-i", "{}/key1.txt", "{}/x.age", "{}/exists"}, 1, Text::Err,
     "zorvanta-cli: {}/exists exists; use --force to replace it\n"},
    {"existing output of encrypt", {"encrypt", "-r", kRecipient1, "{}/plain", "{}/exists"}, 1, Text::Err,
     "zorvanta-cli: {}/exists exists; use --force to replace it\n"},
    // Which format: -r, -R and -a ask for age, which takes no cipher and one kind of protection.
    {"--cipher with -r", {"encrypt", "-c", "aes", "-r", kRecipient1, "{}/plain", "{}/new"}, 2, Text::Err,
     "zorvanta-cli: --cipher is for the legacy format; an age file needs none\n"},
    {"--format legacy with -a", {"encrypt", "--format", "legacy", "-a", "-c", "aes", "{}/plain", "{}/new"}, 2,
     Text::Err, "zorvanta-cli: -r, -R and -a are for the age format\n"},
    {"recipients and a passphrase", {"encrypt", "-R", "{}/recipients", "--passphrase-hex", kPw, "{}/plain", "{}/new"},
     2, Text::Err, "zorvanta-cli: give recipients or a passphrase, not both\n"},
    {"--cipher to decrypt an age file", {"decrypt", "-c", "aes", "-i", "{}/key1.txt", "{}/x.age", "{}/new"}, 2,
     Text::Err, "zorvanta-cli: --cipher is for the legacy format; an age file needs none\n"},
    {"decrypt needs no --cipher", {"decrypt", "-i", "{}/key1.txt", "{}/x.age", "{}/new"}, 0, Text::Err,
     "File Decrypted\n", {{"new", kPlain}}},
    {"legacy decrypt finds its cipher", {"decrypt", "--passphrase-hex", kPw, "{}/enc", "{}/new"}, 0, Text::Err,
     "zorvanta-cli: {}/enc: encrypted with Blowfish\nFile Decrypted\n", {{"new", kPlain}}},
    // Identities: a key file under a passphrase asks for it; plain key files ask nothing.
    {"key file under a passphrase from a source",
     {"decrypt", "-i", "{}/key1.age", "--passphrase-env", "P", "{}/x.age", "{}/new"}, 0, Text::Err, "File Decrypted\n",
     {{"new", kPlain}}, CliScript{.variables = {{"P", "pw"}}}},
    {"key file under a passphrase at the prompt", {"decrypt", "-i", "{}/key1.age", "{}/x.age", "{}/new"}, 0, Text::Err,
     "File Decrypted\n", {{"new", kPlain}}, CliScript{.typed = {"pw"}}},
    {"key file under another passphrase", {"decrypt", "-i", "{}/key1.age", "--passphrase-hex", "00", "{}/x.age",
     "{}/new"}, 1, Text::Err, "zorvanta-cli: {}/key1.age: Incorrect Passphrase\n"},
    {"plain key files ask nothing", {"decrypt", "-i", "{}/key2.txt", "-i", "{}/key1.txt", "{}/x.age", "{}/new"}, 0,
     Text::Err, "File Decrypted\n", {{"new", kPlain}}},
    // SSH keys: public key lines as recipients, private keys as identities, a protected one
    // asking for its passphrase only when the file is for it.
    {"-r with an SSH key", {"encrypt", "-r", SshPublicLine("rsa2048"), "{}/plain", "{}/new"}, 0, Text::Err,
     "File Encrypted\n", {{"new", {}}}},
    {"-r with an ECDSA key", {"encrypt", "-r", SshPublicLine("ecdsa"), "{}/plain", "{}/new"}, 2, Text::Err,
     "zorvanta-cli: the recipient is an SSH key of a type that cannot be an age recipient (only ssh-ed25519 and "
     "ssh-rsa can)\n"},
    {"-r with a small RSA key", {"encrypt", "-r", SshPublicLine("rsa1024"), "{}/plain", "{}/new"}, 2, Text::Err,
     "zorvanta-cli: the recipient is an ssh-rsa key of 1024 bits; a recipient needs at least 2048\n"},
    {"-R skips what cannot be a recipient", {"encrypt", "-R", "{}/keys", "{}/plain", "{}/new"}, 0, Text::Err,
     "zorvanta-cli: {}/keys: line 3: ecdsa-sha2-nistp256 keys cannot be age recipients; skipped\nFile Encrypted\n",
     {{"new", {}}}},
    // A key file from standard input leaves nothing there for an input read from it too.
    {"-R - with standard input as the input", {"encrypt", "-R", "-", "-", "{}/new"}, 2, Text::Err,
     "zorvanta-cli: standard input cannot be both the recipients file and the input\n"},
    {"-i - with standard input as the input", {"decrypt", "-i", "-", "-", "{}/new"}, 2, Text::Err,
     "zorvanta-cli: standard input cannot be both the key file and the input\n"},
    {"SSH key", {"decrypt", "-i", "{}/ed25519", SshFile("ed25519.age"), "{}/new"}, 0, Text::Err, "File Decrypted\n",
     {{"new", kShort}}},
    {"protected SSH key at the prompt", {"decrypt", "-i", "{}/ed25519-protected", SshFile("ed25519-protected.age"),
     "{}/new"}, 0, Text::Err, "File Decrypted\n", {{"new", kShort}}, CliScript{.typed = {"ssh passphrase"}}},
    {"protected SSH key from a source", {"decrypt", "-i", "{}/rsa-pkcs8-protected", "--passphrase-env", "P",
     SshFile("rsa-pkcs8-protected.age"), "{}/new"}, 0, Text::Err, "File Decrypted\n", {{"new", kShort}},
     CliScript{.variables = {{"P", "ssh passphrase"}}}},
    {"protected SSH key, wrong passphrase", {"decrypt", "-i", "{}/ed25519-protected", "--passphrase-hex", "00",
     SshFile("ed25519-protected.age"), "{}/new"}, 1, Text::Err,
     ": the passphrase of the ssh-ed25519 key SHA256:0CRm+48gk7K8HR+TysZ5qhqWjBkvUbznvYk9sRCAwas is wrong\n"},
    {"a protected key not named asks nothing", {"decrypt", "-i", "{}/ed25519-protected", "-i", "{}/ed25519",
     SshFile("ed25519.age"), "{}/new"}, 0, Text::Err, "File Decrypted\n", {{"new", kShort}}},
    {"an SSH key others may read", {"decrypt", "-i", "{}/open-ed25519", SshFile("ed25519.age"), "{}/new"}, 0,
     Text::Err, "zorvanta-cli: {}/open-ed25519: this private key may be read by others (mode 0644); keep it to its "
     "owner: chmod 600 {}/open-ed25519\nFile Decrypted\n", {{"new", kShort}}},
    {"keygen -y on an SSH key", {"keygen", "-y", "{}/ed25519"}, 0, Text::Out,
     SshPublicLine("ed25519").substr(0, SshPublicLine("ed25519").rfind(' ')) + "\n"},
    // check authenticates everything and writes nothing.
    {"check", {"check", "-i", "{}/key1.txt", "{}/two.age"}, 0, Text::Err,
     "zorvanta-cli: {}/two.age: opens, and every chunk authenticates (age)\n"},
    {"check, damaged", {"check", "-i", "{}/key1.txt", "{}/chunk.age"}, 1, Text::Err,
     "zorvanta-cli: {}/chunk.age: chunk 2 (at byte 65736) failed to authenticate\n"},
    // Replacing, stopping, progress.
    {"--force", {"decrypt", "-f", "-i", "{}/key1.txt", "{}/x.age", "{}/exists"}, 0, Text::Err, "File Decrypted\n",
     {{"exists", kPlain}}},
    {"stop signal, encrypt", {"encrypt", "-r", kRecipient1, "{}/plain", "{}/new"}, 130, Text::Err,
     "zorvanta-cli: Cancelled\n", {}, CliScript{.stopSignal = 2}},
    {"stop signal, decrypt", {"decrypt", "-i", "{}/key1.txt", "{}/two.age", "{}/new"}, 130, Text::Err,
     "zorvanta-cli: Cancelled\n", {}, CliScript{.stopSignal = 2}},
    {"progress, encrypt", {"encrypt", "--progress", "-r", kRecipient1, "{}/two", "{}/new"}, 0, Text::Err,
     "\r0.1 MiB of 0.1 MiB (100%)", {{"new", {}}}},
    {"progress, decrypt", {"decrypt", "--progress", "-i", "{}/key1.txt", "{}/two.age", "{}/new"}, 0, Text::Err,
     "\r0.1 MiB of 0.1 MiB (100%)", {{"new", {}}}},
    {"progress, legacy decrypt", {"decrypt", "--progress", "--passphrase-hex", kPw, "{}/enc", "{}/new"}, 0, Text::Err,
     "\r0.0 MiB of 0.0 MiB (100%)", {{"new", kPlain}}},
};
}  // namespace

TEST(CliAge, EveryRuleOfTheAgeCommands)
{
    for (const Case& c : kCases) ExpectCase(c, Workspace().dir);
}

TEST(CliAge, RecipientsAndArmorAskForAgeAndCipherAloneForLegacy)
{
    const Workspace w;
    const std::string binary = "age-encryption.org/v1\n", armored = std::string(kArmorBegin) + "\n";
    const struct {
        Args options;
        std::string begins;
        Args opening;  // the options that open it, each alone
    } rows[] = {
        {{"-r", kRecipient1}, binary, {"-i", w("key1.txt")}},
        {{"-R", w("recipients")}, binary, {"-i", w("key1.txt"), "-i", w("key2.txt")}},
        {{"-a", "-r", kRecipient2}, armored, {"-i", w("key2.txt")}},
        {{"-a", "--passphrase-hex", kPw, "--work-factor", "10"}, armored, {"--passphrase-hex", kPw}},
        {{"--format", "age", "--passphrase-hex", kPw, "--work-factor", "10"}, binary, {"--passphrase-hex", kPw}},
    };
    for (const auto& row : rows) {
        Args encrypt{"encrypt", "-q", "-f"};
        encrypt.insert(encrypt.end(), row.options.begin(), row.options.end());
        encrypt.insert(encrypt.end(), {w("plain"), w("out")});
        ASSERT_EQ(RunCliWith(encrypt).status, 0) << row.options[0];
        EXPECT_TRUE(AsString(ReadFile(w("out"))).starts_with(row.begins)) << row.options[0];
        for (std::size_t i = 0; i < row.opening.size(); i += 2) {
            const Args decrypt{"decrypt", "-q", "-f", row.opening[i], row.opening[i + 1], w("out"), w("dec")};
            ASSERT_EQ(RunCliWith(decrypt).status, 0) << row.opening[i + 1];
            EXPECT_EQ(ReadFile(w("dec")), kPlain) << row.opening[i + 1];
        }
    }
    // --cipher without --format: the legacy file, its check block and the bytes.
    const Args legacy{"encrypt", "-q", "-f", "-c", "aes", "--passphrase-hex", kPw, w("plain"), w("out")};
    ASSERT_EQ(RunCliWith(legacy).status, 0);
    EXPECT_EQ(ReadFile(w("out")).size(), 32 + kPlain.size());
}

TEST(CliAge, KeygenWritesAnIdentityAndTellsItsRecipient)
{
    const TempDir dir;
    const CliRun shown = RunCliWith({"keygen"});
    ASSERT_EQ(shown.status, 0);
    EXPECT_TRUE(shown.out.starts_with("# created: ")) << shown.out;
    const std::size_t publicKey = shown.out.find("\n# public key: age1");
    ASSERT_NE(publicKey, std::string::npos) << shown.out;
    const std::size_t secretKey = shown.out.find("\nAGE-SECRET-KEY-1", publicKey);
    ASSERT_NE(secretKey, std::string::npos) << shown.out;
    EXPECT_TRUE(shown.out.ends_with("\n"));
    const std::size_t start = publicKey + 15;  // after "\n# public key: "
    const std::string recipient = shown.out.substr(start, shown.out.find('\n', start) - start);
    EXPECT_EQ(FormatRecipient(RecipientOf(ParseIdentityFile(ToSecretBytes(shown.out)).at(0))), recipient);
    EXPECT_EQ(shown.err, "Public key: " + recipient + "\n");

    // -o: a file for its owner alone, never replaced without -f.
    const CliRun written = RunCliWith({"keygen", "-o", dir.path("key")});
    ASSERT_EQ(written.status, 0);
    EXPECT_EQ(written.out, "");
    const Bytes key = ReadFile(dir.path("key"));
    EXPECT_EQ(written.err, "Public key: " + RecipientIn(dir.path("key")) + "\n");
    struct stat info{};
    ASSERT_EQ(::stat(dir.path("key").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const CliRun again = RunCliWith({"keygen", "-o", dir.path("key")});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "zorvanta-cli: " + dir.path("key") + " exists; use --force to replace it\n");
    EXPECT_EQ(ReadFile(dir.path("key")), key);
    ASSERT_EQ(RunCliWith({"keygen", "-f", "-o", dir.path("key")}).status, 0);
    EXPECT_NE(ReadFile(dir.path("key")), key);

    // -y: the recipient of each identity in the file.
    Bytes both = ReadFile(DataPath("age/key1.txt"));
    const Bytes second = ReadFile(DataPath("age/key2.txt"));
    both.insert(both.end(), second.begin(), second.end());
    WriteFile(dir.path("both"), both);
    const CliRun listed = RunCliWith({"keygen", "-y", dir.path("both")});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, kRecipient1 + "\n" + kRecipient2 + "\n");
}
