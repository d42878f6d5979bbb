// zorvanta-cli in this process: every rule of its command line, with the exit status, the
// stream each text goes to, and the files it must leave alone.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

#include "cli/clirun.h"
#include "cli/knownanswers.h"
#include "cli/selftest.h"
#include "cipher/registry.h"
#include "support/tempdir.h"

namespace {
const Bytes kPlain{'h', 'e', 'l', 'l', 'o', ' ', 0xE9, 0, 1, 2};
const Bytes kKept{'k', 'e', 'p', 't'};

// The regular files of a folder and their bytes.
std::map<std::string, Bytes> Snapshot(const TempDir& dir)
{
    std::map<std::string, Bytes> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.root()))
        if (entry.is_regular_file()) files[entry.path().filename()] = ReadFile(entry.path());
    return files;
}

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

enum class Text { Out, Err };

struct Case {
    std::string what;
    std::function<std::vector<std::string>(const Workspace&)> args;
    int status;
    Text stream;               // where `text` is; the other stream stays empty unless `both`
    std::string text;          // a part of what that stream shows; {} in it stands for the folder
    std::map<std::string, Bytes> creates = {};  // files the run makes or replaces; all others stay
    CliScript script = {};
    bool both = false;
};

std::string InFolder(std::string text, const Workspace& w)
{
    for (std::size_t at; (at = text.find("{}")) != std::string::npos;) text.replace(at, 2, w.dir.root().string());
    return text;
}

using Args = std::vector<std::string>;
using W = const Workspace&;
const std::string kPw = "7077";  // "pw"

const Case kCases[] = {
    // Conventions: help, version, aliases, -o.
    {"help of a command", [](W) { return Args{"encrypt", "--help"}; }, 0, Text::Out, "Usage: zorvanta-cli encrypt"},
    {"help COMMAND", [](W) { return Args{"help", "check"}; }, 0, Text::Out, "Usage: zorvanta-cli check"},
    {"help warns of ps", [](W) { return Args{"--help"}; }, 0, Text::Out, "other\n                              users see it in 'ps'"},
    {"version", [](W) { return Args{"--version"}; }, 0, Text::Out, "zorvanta-cli 1.3\n"},
    {"aliases listed", [](W) { return Args{"ciphers"}; }, 0, Text::Out, "Rijndael   128    8..256            256                 aes, aes256"},
    {"alias and -o", [](W w) { return Args{"encrypt", "--cipher", "AES", "--passphrase-hex", kPw, w("plain"), "-o", w("new")}; },
     0, Text::Err, "File Encrypted\n", {{"new", {}}}},
    {"quiet", [](W w) { return Args{"decrypt", "-q", "-c", "blowfish", "--passphrase-hex", kPw, w("enc"), w("new")}; }, 0,
     Text::Err, "", {{"new", kPlain}}},
    {"unknown option", [](W w) { return Args{"encrypt", "-c", "aes", "--verbose", w("plain"), w("new")}; }, 2, Text::Err,
     "unknown option --verbose\nUsage: zorvanta-cli encrypt"},
    {"unknown cipher", [](W w) { return Args{"encrypt", "-c", "serpent", w("plain"), w("new")}; }, 2, Text::Err, "unknown cipher serpent"},
    // Streams: "-" as output writes there, and no status line goes with the data.
    {"- as output", [](W w) { return Args{"decrypt", "-c", "blowfish", "--passphrase-hex", kPw, w("enc"), "-"}; }, 0,
     Text::Err, "File Decrypted\n", {{"stdout", kPlain}}, CliScript{.standardOutput = "{}/stdout"}},
    {"auto refuses a stream", [](W) { return Args{"decrypt", "-c", "auto", "--passphrase-hex", kPw, "-", "x"}; }, 2, Text::Err,
     "--cipher auto needs a file; name the cipher to decrypt a stream", {}, CliScript{.standardInput = "{}/fifo"}},
    {"auto takes standard input from a file", [](W w) { return Args{"decrypt", "-c", "auto", "--passphrase-hex", kPw, "-", w("new")}; },
     0, Text::Err, "zorvanta-cli: standard input: encrypted with Blowfish\n", {{"new", kPlain}}, CliScript{.standardInput = "{}/enc"}},
    // Safe defaults.
    {"existing output", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-hex", kPw, w("plain"), w("exists")}; }, 1,
     Text::Err, "zorvanta-cli: {}/exists exists; use --force to replace it\n"},
    {"existing output, --force", [](W w) { return Args{"decrypt", "-f", "-c", "blowfish", "--passphrase-hex", kPw, w("enc"), w("exists")}; },
     0, Text::Err, "File Decrypted", {{"exists", kPlain}}},
    {"output is the passphrase file",
     [](W w) { return Args{"encrypt", "-f", "-c", "aes", "--passphrase-file", w("key.txt"), w("plain"), w("key.txt")}; }, 1,
     Text::Err, "{}/key.txt is the passphrase file; choose another output"},
    {"empty passphrase file", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-file", w("empty.txt"), w("plain"), w("new")}; },
     1, Text::Err, "the passphrase is empty; give --allow-empty-passphrase"},
    {"empty variable", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-env", "E", w("plain"), w("new")}; }, 1, Text::Err,
     "the passphrase is empty", {}, CliScript{.variables = {{"E", ""}}}},
    {"empty hex", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-hex", "", w("plain"), w("new")}; }, 1, Text::Err,
     "the passphrase is empty"},
    {"Enter, Enter", [](W w) { return Args{"encrypt", "-c", "aes", w("plain"), w("new")}; }, 1, Text::Err, "the passphrase is empty",
     {}, CliScript{.typed = {"", ""}}},
    {"empty passphrase allowed", [](W w) { return Args{"decrypt", "-c", "blowfish", "--allow-empty-passphrase", w("enc-empty"), w("new")}; },
     0, Text::Err, "File Decrypted", {{"new", kPlain}}, CliScript{.typed = {""}}},
    {"the two passphrases differ", [](W w) { return Args{"encrypt", "-c", "aes", w("plain"), w("new")}; }, 2, Text::Err,
     "the two passphrases differ", {}, CliScript{.typed = {"one", "two"}}},
    {"no terminal", [](W w) { return Args{"encrypt", "-c", "aes", w("plain"), w("new")}; }, 2, Text::Err, "no terminal to ask"},
    {"folder as passphrase file", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-file", w("folder"), w("plain"), w("new")}; },
     2, Text::Err, "cannot read the passphrase file {}/folder (Is a directory)"},
    {"missing passphrase file", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-file", w("none"), w("plain"), w("new")}; },
     2, Text::Err, "cannot read the passphrase file {}/none (No such file or directory)"},
    {"no line end in 64 KiB", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-file", w("long.txt"), w("plain"), w("new")}; },
     2, Text::Err, "{}/long.txt: no line end within the first 64 KiB"},
    {"byte-order mark and CR LF", [](W w) { return Args{"decrypt", "-c", "blowfish", "--passphrase-file", w("bom.txt"), w("enc"), w("new")}; },
     0, Text::Err, "File Decrypted", {{"new", kPlain}}},
    {"first line only", [](W w) { return Args{"decrypt", "-c", "blowfish", "--passphrase-file", w("key.txt"), w("enc"), w("new")}; },
     0, Text::Err, "File Decrypted", {{"new", kPlain}}},
    {"bad descriptor", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-fd", "9x", w("plain"), w("new")}; }, 2, Text::Err,
     "--passphrase-fd takes a descriptor number"},
    {"descriptor 0 and input -", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-fd", "0", "-", w("new")}; }, 2, Text::Err,
     "--passphrase-fd 0 is standard input"},
    {"two passphrase options", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-hex", kPw, "--passphrase-env", "E", w("plain"), w("new")}; },
     2, Text::Err, "give at most one passphrase option"},
    // Which cipher is this?
    {"wrong cipher named", [](W w) { return Args{"decrypt", "-c", "twofish", "--passphrase-hex", kPw, w("enc"), w("new")}; }, 1, Text::Err,
     "zorvanta-cli: {}/enc: Incorrect Passphrase\nzorvanta-cli: this file was encrypted with Blowfish; use --cipher blowfish\n"},
    {"wrong passphrase", [](W w) { return Args{"decrypt", "-c", "blowfish", "--passphrase-hex", "00", w("enc"), w("new")}; }, 1, Text::Err,
     "zorvanta-cli: {}/enc: Incorrect Passphrase\n"},
    {"decrypt auto", [](W w) { return Args{"decrypt", "-c", "auto", "--passphrase-hex", kPw, w("enc"), w("new")}; }, 0, Text::Err,
     "zorvanta-cli: {}/enc: encrypted with Blowfish\nFile Decrypted\n", {{"new", kPlain}}},
    {"decrypt auto, nothing fits", [](W w) { return Args{"decrypt", "-c", "auto", "--passphrase-hex", "00", w("enc"), w("new")}; }, 1,
     Text::Err, "Incorrect Passphrase (no cipher fits)"},
    {"encrypt auto", [](W w) { return Args{"encrypt", "-c", "auto", w("plain"), w("new")}; }, 2, Text::Err, "--cipher auto is for decrypt"},
    {"check", [](W w) { return Args{"check", "--passphrase-hex", kPw, w("enc")}; }, 0, Text::Err,
     "zorvanta-cli: {}/enc: the passphrase fits (Blowfish)\n"},
    {"check, wrong cipher", [](W w) { return Args{"check", "-c", "cast5", "--passphrase-hex", kPw, w("enc")}; }, 1, Text::Err,
     "Incorrect Passphrase\nzorvanta-cli: this file was encrypted with Blowfish; use --cipher blowfish"},
    {"check, wrong passphrase", [](W w) { return Args{"check", "--passphrase-hex", "00", w("enc")}; }, 1, Text::Err, "Incorrect Passphrase\n"},
    {"check, short file", [](W w) { return Args{"check", "--passphrase-hex", kPw, w("short")}; }, 3, Text::Err,
     "zorvanta-cli: {}/short: Lesen nach Dateiende (EOF)\n"},
    // Errors name the file and the system's cause.
    {"missing input", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-hex", kPw, w("none"), w("new")}; }, 1, Text::Err,
     "zorvanta-cli: {}/none: Unable to open the Input File (No such file or directory)\n"},
    {"missing folder of the output", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-hex", kPw, w("plain"), w("no/x")}; },
     1, Text::Err, "zorvanta-cli: {}/no/x: Unable to open the Output File\n"},
    {"same file", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-hex", kPw, w("plain"), w("plain")}; }, 1, Text::Err,
     "File to be Encrypted/Decrypted and Output File must be different\n"},
    {"disk full", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-hex", kPw, w("plain"), "/dev/full"}; }, 3, Text::Err,
     "/dev/full: Kapazität der Diskette/Festplatte erschöpft. (No space left on device)\n"},
    {"short file", [](W w) { return Args{"decrypt", "-c", "aes", "--passphrase-hex", kPw, w("short"), w("new")}; }, 3, Text::Err,
     "{}/short: Lesen nach Dateiende (EOF)\n"},
    // Progress and stopping.
    {"progress", [](W w) { return Args{"encrypt", "--progress", "-c", "aes", "--passphrase-hex", kPw, w("plain"), w("new")}; }, 0,
     Text::Err, "\r0.0 MiB of 0.0 MiB (100%)", {{"new", {}}}},
    {"stop signal", [](W w) { return Args{"encrypt", "-c", "aes", "--passphrase-hex", kPw, w("plain"), w("new")}; }, 130, Text::Err,
     "zorvanta-cli: Cancelled\n", {}, CliScript{.stopSignal = 2}},
    {"stop signal at the prompt", [](W w) { return Args{"encrypt", "-c", "aes", w("plain"), w("new")}; }, 130, Text::Err,
     "zorvanta-cli: Cancelled\n", {}, CliScript{.typed = {"pw", "pw"}, .stopSignal = 2}},
};
}  // namespace

TEST(Cli, EveryRuleOfTheCommandLine)
{
    for (const Case& c : kCases) {
        const Workspace w;
        const auto before = Snapshot(w.dir);
        CliScript script = c.script;
        script.standardInput = InFolder(script.standardInput, w);
        script.standardOutput = InFolder(script.standardOutput, w);
        const CliRun run = RunCliWith(c.args(w), script);
        EXPECT_EQ(run.status, c.status) << c.what << "\n" << run.err;
        const std::string& shown = c.stream == Text::Out ? run.out : run.err;
        const std::string& other = c.stream == Text::Out ? run.err : run.out;
        EXPECT_NE(shown.find(InFolder(c.text, w)), std::string::npos) << c.what << ": " << shown;
        if (c.text.empty()) {
            EXPECT_EQ(shown, "") << c.what;
        }
        EXPECT_EQ(other, "") << c.what;
        auto expected = before;
        for (const auto& [name, bytes] : c.creates) expected[name] = bytes.empty() ? ReadFile(w(name)) : bytes;
        EXPECT_EQ(Snapshot(w.dir), expected) << c.what;
    }
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
