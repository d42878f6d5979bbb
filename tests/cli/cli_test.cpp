// zorvanta-cli in this process: every rule of its command line, with the exit status, the
// stream each text goes to, and the files it must leave alone.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "cli/clicases.h"
#include "cli/clirun.h"
#include "cli/exitstatus.h"
#include "cli/options.h"
#include "cli/knownanswers.h"
#include "cli/selftest.h"
#include "cipher/registry.h"
#include "support/tempdir.h"

namespace {
const Bytes kPlain{'h', 'e', 'l', 'l', 'o', ' ', 0xE9, 0, 1, 2};
const Bytes kKept{'k', 'e', 'p', 't'};

// A folder with a plain file, its Blowfish encryption under "pw" and under the empty
// passphrase, passphrase files of every kind, an existing output, a folder and a FIFO.
struct Workspace {
    TempDir dir;
    std::string operator()(const std::string& name) const { return dir.path(name); }

    Workspace()
    {
        WriteFile(dir.path("plain"), kPlain);
        WriteFile(dir.path("key.txt"), {'p', 'w', '\n', 'x'});
        WriteFile(dir.path("bom.txt"), {0xEF, 0xBB, 0xBF, 'p', 'w', '\r', '\n'});
        WriteFile(dir.path("empty.txt"), {});
        WriteFile(dir.path("long.txt"), Bytes(70000, 'a'));
        WriteFile(dir.path("limit.txt"), Bytes(64 * 1024, 'a'));
        WriteFile(dir.path("exists"), kKept);
        WriteFile(dir.path("short"), {1, 2, 3});
        std::filesystem::create_directory(dir.path("folder"));
        ::mkfifo(dir.path("fifo").c_str(), 0600);
        EXPECT_EQ(RunCliWith({"encrypt", "-c", "Blowfish", "--passphrase-hex", "7077", path("plain"), path("enc")}).status, 0);
        EXPECT_EQ(RunCliWith({"encrypt", "-c", "Blowfish", "--passphrase-hex=", "--allow-empty-passphrase", path("plain"),
                              path("enc-empty")}).status, 0);
    }
    std::string path(const std::string& name) const { return dir.path(name); }
};

using Args = std::vector<std::string>;
const std::string kPw = "7077";  // "pw"

const Case kCases[] = {
    // Conventions: help, version, aliases, -o.
    {"help of a command", {"encrypt", "--help"}, 0, Text::Out, "Usage: zorvanta-cli encrypt"},
    {"help COMMAND", {"help", "check"}, 0, Text::Out, "Usage: zorvanta-cli check"},
    {"help warns of ps", {"--help"}, 0, Text::Out, "other\n                              users see it in 'ps'"},
    {"version", {"--version"}, 0, Text::Out, "zorvanta-cli 1.3\n"},
    {"aliases listed", {"ciphers"}, 0, Text::Out, "Rijndael   128    8..256            256                 aes, aes256"},
    {"alias and -o", {"encrypt", "--cipher", "AES", "--passphrase-hex", kPw, "{}/plain", "-o", "{}/new"},
     0, Text::Err, "File Encrypted\n", {{"new", {}}}},
    {"quiet", {"decrypt", "-q", "-c", "blowfish", "--passphrase-hex", kPw, "{}/enc", "{}/new"}, 0,
     Text::Err, "", {{"new", kPlain}}},
    {"switches together", {"decrypt", "-fqc", "blowfish", "--passphrase-hex", kPw, "{}/enc", "{}/exists"}, 0,
     Text::Err, "", {{"exists", kPlain}}},
    {"switches together, then a value", {"decrypt", "-fqo{}/exists", "--passphrase-hex", kPw, "{}/enc"}, 0, Text::Err, "",
     {{"exists", kPlain}}},
    {"unknown option", {"encrypt", "-c", "aes", "--verbose", "{}/plain", "{}/new"}, 2, Text::Err,
     "unknown option --verbose\nUsage: zorvanta-cli encrypt"},
    {"unknown cipher", {"encrypt", "-c", "serpent", "{}/plain", "{}/new"}, 2, Text::Err, "unknown cipher serpent"},
    // Streams: "-" as output writes there, and no status line goes with the data.
    {"- as output", {"decrypt", "-c", "blowfish", "--passphrase-hex", kPw, "{}/enc", "-"}, 0,
     Text::Err, "File Decrypted\n", {{"stdout", kPlain}}, CliScript{.standardOutput = "{}/stdout"}},
    {"auto takes standard input from a file", {"decrypt", "-c", "auto", "--passphrase-hex", kPw, "-", "{}/new"},
     0, Text::Err, "zorvanta-cli: standard input: encrypted with Blowfish\n", {{"new", kPlain}}, CliScript{.standardInput = "{}/enc"}},
    // Safe defaults.
    {"existing output", {"encrypt", "-c", "aes", "--passphrase-hex", kPw, "{}/plain", "{}/exists"}, 1,
     Text::Err, "zorvanta-cli: {}/exists exists; use --force to replace it\n"},
    {"existing output, --force", {"decrypt", "-f", "-c", "blowfish", "--passphrase-hex", kPw, "{}/enc", "{}/exists"},
     0, Text::Err, "File Decrypted", {{"exists", kPlain}}},
    {"output is the passphrase file",
     {"encrypt", "-f", "-c", "aes", "--passphrase-file", "{}/key.txt", "{}/plain", "{}/key.txt"}, 1,
     Text::Err, "{}/key.txt is the passphrase file; choose another output"},
    {"empty passphrase file", {"encrypt", "-c", "aes", "--passphrase-file", "{}/empty.txt", "{}/plain", "{}/new"},
     1, Text::Err, "the passphrase is empty; give --allow-empty-passphrase"},
    {"empty variable", {"encrypt", "-c", "aes", "--passphrase-env", "E", "{}/plain", "{}/new"}, 1, Text::Err,
     "the passphrase is empty", {}, CliScript{.variables = {{"E", ""}}}},
    {"empty hex", {"encrypt", "-c", "aes", "--passphrase-hex", "", "{}/plain", "{}/new"}, 1, Text::Err,
     "the passphrase is empty"},
    {"Enter, Enter", {"encrypt", "-c", "aes", "{}/plain", "{}/new"}, 1, Text::Err, "the passphrase is empty",
     {}, CliScript{.typed = {"", ""}}},
    {"empty passphrase allowed", {"decrypt", "-c", "blowfish", "--allow-empty-passphrase", "{}/enc-empty", "{}/new"},
     0, Text::Err, "File Decrypted", {{"new", kPlain}}, CliScript{.typed = {""}}},
    {"the two passphrases differ", {"encrypt", "-c", "aes", "{}/plain", "{}/new"}, 2, Text::Err,
     "the two passphrases differ", {}, CliScript{.typed = {"one", "two"}}},
    {"no terminal", {"encrypt", "-c", "aes", "{}/plain", "{}/new"}, 2, Text::Err, "no terminal to ask"},
    {"folder as passphrase file", {"encrypt", "-c", "aes", "--passphrase-file", "{}/folder", "{}/plain", "{}/new"},
     2, Text::Err, "cannot read the passphrase file {}/folder (Is a directory)"},
    {"missing passphrase file", {"encrypt", "-c", "aes", "--passphrase-file", "{}/none", "{}/plain", "{}/new"},
     2, Text::Err, "cannot read the passphrase file {}/none (No such file or directory)"},
    {"no line end in 64 KiB", {"encrypt", "-c", "aes", "--passphrase-file", "{}/long.txt", "{}/plain", "{}/new"},
     2, Text::Err, "{}/long.txt: no line end within the first 64 KiB"},
    {"64 KiB without a line end", {"encrypt", "-c", "aes", "--passphrase-file", "{}/limit.txt", "{}/plain", "{}/new"},
     0, Text::Err, "File Encrypted", {{"new", {}}}},
    {"byte-order mark and CR LF", {"decrypt", "-c", "blowfish", "--passphrase-file", "{}/bom.txt", "{}/enc", "{}/new"},
     0, Text::Err, "File Decrypted", {{"new", kPlain}}},
    {"first line only", {"decrypt", "-c", "blowfish", "--passphrase-file", "{}/key.txt", "{}/enc", "{}/new"},
     0, Text::Err, "File Decrypted", {{"new", kPlain}}},
    {"bad descriptor", {"encrypt", "-c", "aes", "--passphrase-fd", "9x", "{}/plain", "{}/new"}, 2, Text::Err,
     "--passphrase-fd takes a descriptor number"},
    {"descriptor 0 and input -", {"encrypt", "-c", "aes", "--passphrase-fd", "0", "-", "{}/new"}, 2, Text::Err,
     "--passphrase-fd 0 reads the same stream as the input"},
    {"two passphrase options", {"encrypt", "-c", "aes", "--passphrase-hex", kPw, "--passphrase-env", "E", "{}/plain", "{}/new"},
     2, Text::Err, "give at most one passphrase option"},
    // Which cipher is this?
    {"wrong cipher named", {"decrypt", "-c", "twofish", "--passphrase-hex", kPw, "{}/enc", "{}/new"}, 1, Text::Err,
     "zorvanta-cli: {}/enc: Incorrect Passphrase\nzorvanta-cli: this file was encrypted with Blowfish; use --cipher blowfish\n"},
    {"wrong passphrase", {"decrypt", "-c", "blowfish", "--passphrase-hex", "00", "{}/enc", "{}/new"}, 1, Text::Err,
     "zorvanta-cli: {}/enc: Incorrect Passphrase\n"},
    {"decrypt auto", {"decrypt", "-c", "auto", "--passphrase-hex", kPw, "{}/enc", "{}/new"}, 0, Text::Err,
     "zorvanta-cli: {}/enc: encrypted with Blowfish\nFile Decrypted\n", {{"new", kPlain}}},
    {"decrypt auto, nothing fits", {"decrypt", "-c", "auto", "--passphrase-hex", "00", "{}/enc", "{}/new"}, 1,
     Text::Err, "Incorrect Passphrase (no cipher fits)"},
    {"encrypt auto", {"encrypt", "-c", "auto", "{}/plain", "{}/new"}, 2, Text::Err, "--cipher auto is for decrypt"},
    {"check", {"check", "--passphrase-hex", kPw, "{}/enc"}, 0, Text::Err,
     "zorvanta-cli: {}/enc: the passphrase fits (Blowfish); the legacy format cannot check the rest\n"},
    {"check, wrong cipher", {"check", "-c", "cast5", "--passphrase-hex", kPw, "{}/enc"}, 1, Text::Err,
     "Incorrect Passphrase\nzorvanta-cli: this file was encrypted with Blowfish; use --cipher blowfish"},
    {"check, wrong passphrase", {"check", "--passphrase-hex", "00", "{}/enc"}, 1, Text::Err, "Incorrect Passphrase\n"},
    {"check, short file", {"check", "--passphrase-hex", kPw, "{}/short"}, 3, Text::Err,
     "zorvanta-cli: {}/short: Lesen nach Dateiende (EOF)\n"},
    // Errors name the file and the system's cause.
    {"missing input", {"encrypt", "-c", "aes", "--passphrase-hex", kPw, "{}/none", "{}/new"}, 1, Text::Err,
     "zorvanta-cli: {}/none: Unable to open the Input File (No such file or directory)\n"},
    {"missing folder of the output", {"encrypt", "-c", "aes", "--passphrase-hex", kPw, "{}/plain", "{}/no/x"},
     1, Text::Err, "zorvanta-cli: {}/no/x: Unable to open the Output File (No such file or directory)\n"},
    {"same file", {"encrypt", "-c", "aes", "--passphrase-hex", kPw, "{}/plain", "{}/plain"}, 1, Text::Err,
     "File to be Encrypted/Decrypted and Output File must be different\n"},
    {"disk full", {"encrypt", "-c", "aes", "--passphrase-hex", kPw, "{}/plain", "/dev/full"}, 3, Text::Err,
     "/dev/full: Kapazität der Diskette/Festplatte erschöpft. (No space left on device)\n"},
    {"short file", {"decrypt", "-c", "aes", "--passphrase-hex", kPw, "{}/short", "{}/new"}, 3, Text::Err,
     "{}/short: Lesen nach Dateiende (EOF)\n"},
    // Progress and stopping.
    {"progress", {"encrypt", "--progress", "-c", "aes", "--passphrase-hex", kPw, "{}/plain", "{}/new"}, 0,
     Text::Err, "\r0.0 MiB of 0.0 MiB (100%)", {{"new", {}}}},
    {"stop signal", {"encrypt", "-c", "aes", "--passphrase-hex", kPw, "{}/plain", "{}/new"}, 130, Text::Err,
     "zorvanta-cli: Cancelled\n", {}, CliScript{.stopSignal = 2}},
    {"stop signal at the prompt", {"encrypt", "-c", "aes", "{}/plain", "{}/new"}, 130, Text::Err,
     "zorvanta-cli: Cancelled\n", {}, CliScript{.typed = {"pw", "pw"}, .stopSignal = 2}},
};
}  // namespace

TEST(Cli, EveryRuleOfTheCommandLine)
{
    for (const Case& c : kCases) ExpectCase(c, Workspace().dir);
}

TEST(Cli, RoundTripThroughEveryPassphraseSource)
{
    const Workspace w;
    WriteFile(w("pass.txt"), {'c', 'a', 'f', 0xC3, 0xA9, '\r', '\n', 'x'});
    const CliScript script{.typed = {"caf\u00E9", "caf\u00E9", "caf\u00E9"}, .variables = {{"PASS", "caf\u00E9"}}};
    ASSERT_EQ(RunCliWith({"encrypt", "--cipher", "BLOWFISH", "--passphrase-file", w("pass.txt"), w("plain"), w("e1")}).status, 0);
    const Bytes encrypted = ReadFile(w("e1"));
    EXPECT_EQ(encrypted.size(), kPlain.size() + 32);

    // The same passphrase from every source gives the same file; its bytes are Windows-1252.
    const int fd = ::open(w("pass.txt").c_str(), O_RDONLY | O_CLOEXEC);
    const std::vector<std::string> sources[] = {
        {"--passphrase-env", "PASS"}, {"--passphrase-hex", "636166e9"}, {"--passphrase-fd", std::to_string(fd)}, {}};
    for (const auto& source : sources) {
        Args args{"encrypt", "--cipher=blowfish", "-f"};
        args.insert(args.end(), source.begin(), source.end());
        args.insert(args.end(), {w("plain"), w("e2")});
        ASSERT_EQ(RunCliWith(args, script).status, 0) << args[3];
        EXPECT_EQ(ReadFile(w("e2")), encrypted) << args[3];
    }
    ::close(fd);
    ASSERT_EQ(RunCliWith({"decrypt", "--cipher", "Blowfish", w("e1"), w("dec")}, script).status, 0);  // asked once
    EXPECT_EQ(ReadFile(w("dec")), kPlain);
}

TEST(Cli, AutoFindsEveryCipher)
{
    const Workspace w;
    for (const CipherEntry& entry : AllCiphers()) {
        const std::string name(entry.algorithm);
        ASSERT_EQ(RunCliWith({"encrypt", "-f", "-c", name, "--passphrase-hex", kPw, w("plain"), w("e")}).status, 0);
        const CliRun check = RunCliWith({"check", "-c", "auto", "--passphrase-hex", kPw, w("e")});
        EXPECT_EQ(check.status, 0);
        EXPECT_NE(check.err.find("fits (" + name + ")"), std::string::npos) << check.err;
        const CliRun decrypt = RunCliWith({"decrypt", "-f", "-c", "auto", "--passphrase-hex", kPw, w("e"), w("d")});
        EXPECT_EQ(decrypt.status, 0);
        EXPECT_NE(decrypt.err.find("encrypted with " + name + "\n"), std::string::npos) << decrypt.err;
        EXPECT_EQ(ReadFile(w("d")), kPlain) << name;
    }
}

TEST(Cli, SelfTestPassesAndFailsOnACorruptedVector)
{
    const CliRun run = RunCliWith({"selftest"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("FAILED"), std::string::npos);
    EXPECT_NE(run.out.find("ok      file format, Rijndael, \"abcde\"\n"), std::string::npos);

    const auto builtIn = BuiltInKnownAnswers();
    for (std::size_t broken : {std::size_t{0}, builtIn.size() - 1}) {  // a cipher vector and a file vector
        std::vector<KnownAnswer> answers(builtIn.begin(), builtIn.end());
        std::string output(answers[broken].output);
        output[output.size() - 1] = output.back() == '0' ? '1' : '0';
        answers[broken].output = output;
        std::ostringstream out;
        EXPECT_FALSE(RunSelfTest(answers, out));
        EXPECT_NE(out.str().find("FAILED  " + std::string(answers[broken].label)), std::string::npos) << out.str();
    }
}

// One table of exit statuses: --help (and so the manual page) shows it, and the README repeats it.
TEST(Cli, TheExitStatusesOfTheHelpAndTheReadmeAreOneTable)
{
    std::ifstream readme(std::string(ZORVANTA_CLI_SOURCE) + "/../../README.md");
    const std::string text{std::istreambuf_iterator<char>(readme), std::istreambuf_iterator<char>()};
    std::string table = "| Exit status | Meaning |\n|---|---|\n";
    const std::string help = HelpText(Verb::Decrypt);
    for (const ExitStatus& status : kExitStatuses) {
        table += "| " + std::to_string(status.code) + " | " + std::string(status.meaning) + " |\n";
        EXPECT_NE(help.find("\n  " + std::to_string(status.code) + " "), std::string::npos) << status.code;
    }
    EXPECT_NE(text.find(table), std::string::npos) << table;
}

// Standard input redirected from a file that was partly read already: every command takes the
// file from its offset, the cipher's check block too.
TEST(Cli, APartlyReadStandardInputIsTakenFromItsOffset)
{
    const Workspace w;
    Bytes shared{'h', 'e', 'a', 'd', 'e', 'r', '\n'};
    const Bytes encrypted = ReadFile(w("enc"));
    shared.insert(shared.end(), encrypted.begin(), encrypted.end());
    WriteFile(w("shared"), shared);
    const std::vector<Args> commands = {
        {"decrypt", "-f", "--passphrase-hex", kPw, "-", w("new")},
        {"decrypt", "-f", "-c", "blowfish", "--passphrase-hex", kPw, "-", w("new")},
        {"check", "--passphrase-hex", kPw, "-"},
    };
    for (const Args& args : commands) {
        const int fd = ::open(w("shared").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_EQ(::lseek(fd, 7, SEEK_SET), 7);
        const CliRun run = RunCliWith(args, CliScript{.standardInput = "/dev/fd/" + std::to_string(fd)});
        ::close(fd);
        EXPECT_EQ(run.status, 0) << args[0] << ": " << run.err;
        if (args[0] == "decrypt") {
            EXPECT_EQ(ReadFile(w("new")), kPlain);
        }
    }
}
