// The built zorvanta-cli in a shell: pipes give the bytes of file mode, standard output carries
// only data, completions know every name, and Ctrl-C during a run leaves nothing behind.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "cipher/registry.h"
#include "cli/ciphernames.h"
#include "support/tempdir.h"
#include "support/terminal.h"

namespace {
const std::string kProgram = ZORVANTA_CLI_PROGRAM;

}  // namespace

TEST(CliProgram, PipesGiveTheBytesOfFileModeForEveryCipher)
{
    TempDir dir;
    const auto at = [&](const std::string& name) { return dir.path(name); };
    WriteFile(at("plain"), Sample(300 * 1024 + 5));  // past one chunk, with a partial block
    WriteFile(at("key"), {'p', 'w', '\n'});
    for (const CipherEntry& entry : AllCiphers()) {
        const std::string cipher = "--cipher " + CipherOptionName(entry.algorithm) + " --passphrase-fd 3 ";
        const std::string run = kProgram + " encrypt -f " + cipher;
        ASSERT_EQ(Shell(run + at("plain") + " " + at("file.enc") + " 3<" + at("key") + " 2>/dev/null"), 0);
        ASSERT_EQ(Shell("cat " + at("plain") + " | " + run + "- - 3<" + at("key") + " 2>" + at("err") + " >" + at("pipe.enc")), 0);
        EXPECT_EQ(ReadFile(at("pipe.enc")), ReadFile(at("file.enc"))) << entry.algorithm;
        EXPECT_EQ(TextOf(at("err")), "File Encrypted\n");
        ASSERT_EQ(Shell("cat " + at("pipe.enc") + " | " + kProgram + " decrypt " + cipher + "- - 3<" + at("key") + " 2>" +
                        at("err") + " | cat >" + at("pipe.dec")), 0);
        EXPECT_EQ(ReadFile(at("pipe.dec")), ReadFile(at("plain"))) << entry.algorithm;
        EXPECT_EQ(TextOf(at("err")), "File Decrypted\n");
    }
}

TEST(CliProgram, CompletionsKnowEveryCommandCipherAndAlias)
{
    std::vector<std::string> names{"encrypt", "decrypt", "check", "ciphers", "selftest", "bench", "help", "auto",
                                   "--passphrase-fd", "--allow-empty-passphrase", "--no-progress", "--force"};
    for (const CipherEntry& entry : AllCiphers()) names.push_back(CipherOptionName(entry.algorithm));
    for (const CipherAlias& alias : CipherAliases()) names.emplace_back(alias.alias);
    for (const char* file : {"zorvanta-cli.bash", "_zorvanta-cli", "zorvanta-cli.fish"}) {
        const std::string script = TextOf(std::string(ZORVANTA_CLI_SOURCE) + "/completions/" + file);
        for (const std::string& name : names) {
            const std::string bare = name.rfind("--", 0) == 0 ? name.substr(2) : name;
            EXPECT_NE(script.find(bare), std::string::npos) << file << " lacks " << name;
        }
    }
}

// The bash completion completes an option's value after "=" as after a space.
TEST(CliProgram, BashCompletesAValueAfterTheEqualsSign)
{
    TempDir dir;
    const std::string script = "source /usr/share/bash-completion/bash_completion\n"
                               "source " ZORVANTA_CLI_SOURCE "/completions/zorvanta-cli.bash\n"
                               "COMP_WORDS=(zorvanta-cli \"$1\" \"$2\" = \"$3\"); COMP_CWORD=4\n"
                               "COMP_LINE=\"zorvanta-cli $1 $2=$3\"; COMP_POINT=${#COMP_LINE}\n"
                               "_zorvanta_cli zorvanta-cli \"$3\" =\n"
                               "echo \"${COMPREPLY[*]}\"\n";
    WriteFile(dir.path("complete"), Bytes(script.begin(), script.end()));
    struct Case {
        std::string words;
        std::string completions;
    };
    const Case cases[] = {{"decrypt --cipher ae", "aes aes256\n"}, {"encrypt --format a", "age\n"}};
    for (const Case& c : cases) {
        ASSERT_EQ(Shell("bash " + dir.path("complete") + " " + c.words + " >" + dir.path("out")), 0);
        EXPECT_EQ(TextOf(dir.path("out")), c.completions) << c.words;
    }
}

TEST(CliProgram, InterruptDuringARunFromAFifoLeavesNothing)
{
    TempDir dir;
    TempDir logs;
    ASSERT_EQ(::mkfifo(dir.path("fifo").c_str(), 0600), 0);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logs.path("err").c_str(), O_WRONLY | O_CREAT, 0600);
    const std::string fifo = dir.path("fifo"), out = dir.path("out");
    const char* argv[] = {kProgram.c_str(), "encrypt", "-c", "aes", "--passphrase-hex", "7077", fifo.c_str(), out.c_str(), nullptr};
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, kProgram.c_str(), &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::signal(SIGPIPE, SIG_IGN);  // the program may be gone while this test still writes

    const int writer = ::open(fifo.c_str(), O_WRONLY);
    ASSERT_GE(writer, 0);
    const Bytes data = Sample(1024 * 1024);
    ASSERT_EQ(::write(writer, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the program is inside its run
    ::kill(pid, SIGINT);
    // The run sees the stop at its next chunk; an end of input ends the last one.
    [[maybe_unused]] const ssize_t more = ::write(writer, data.data(), data.size());
    ::close(writer);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(TextOf(logs.path("err")), "zorvanta-cli: Cancelled\n");
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"fifo"});
}

TEST(CliProgram, AnAppendingStandardOutputKeepsWhatItHeld)
{
    TempDir dir;
    const auto at = [&](const std::string& name) { return dir.path(name); };
    WriteFile(at("plain"), {'d', 'a', 't', 'a'});
    WriteFile(at("key"), {'p', 'w', '\n'});
    const std::string cipher = " --cipher aes --passphrase-fd 3 ";
    ASSERT_EQ(Shell(kProgram + " encrypt" + cipher + at("plain") + " " + at("enc") + " 3<" + at("key") + " 2>/dev/null"), 0);
    for (const std::string output : {"-", "/dev/stdout"}) {
        WriteFile(at("log"), {'o', 'l', 'd', '\n'});
        ASSERT_EQ(Shell(kProgram + " decrypt" + cipher + at("enc") + " " + output + " 3<" + at("key") +
                        " 2>/dev/null >>" + at("log")), 0) << output;
        EXPECT_EQ(ReadFile(at("log")), (Bytes{'o', 'l', 'd', '\n', 'd', 'a', 't', 'a'})) << output;
    }
}

TEST(CliProgram, StandardStreamsAreCalledByTheirNamesAndAClosedOneIsTold)
{
    TempDir dir;
    const auto at = [&](const std::string& name) { return dir.path(name); };
    WriteFile(at("plain"), Sample(100));
    const std::string cipher = " -c blowfish --passphrase-hex 7077 ";
    ASSERT_EQ(Shell(kProgram + " encrypt -q" + cipher + at("plain") + " " + at("enc")), 0);
    struct Case {
        std::string command;  // its standard error goes to the file "err"
        int status;
        std::string err;
    };
    const Case cases[] = {
        {kProgram + " encrypt" + cipher + at("plain") + " - >&-", 3, "zorvanta-cli: standard output is closed\n"},
        {kProgram + " decrypt" + cipher + "- " + at("out") + " <&-", 3, "zorvanta-cli: standard input is closed\n"},
        {kProgram + " decrypt --passphrase-hex 7077 /dev/stdin " + at("dec") + " <" + at("enc"), 0,
         "zorvanta-cli: standard input: encrypted with Blowfish\nFile Decrypted\n"},
        {kProgram + " ciphers >&-", 3, "zorvanta-cli: standard output is closed\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Shell(c.command + " 2>" + at("err")), c.status) << c.command;
        EXPECT_EQ(TextOf(at("err")), c.err) << c.command;
    }
    EXPECT_EQ(ReadFile(at("dec")), Sample(100));
    EXPECT_FALSE(std::filesystem::exists(at("out")));
}
