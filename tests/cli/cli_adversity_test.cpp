// The built zorvanta-cli under adversity: another program racing for its output, a stream
// shared by the passphrase and the input, stop signals while it waits, threads that do not
// start, and its output's folder moved during the run. The host shim (tests/support/hostshim.cpp)
// holds a commit at its flush, takes anonymous files away, or refuses threads.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "pipeline/fileoutcome.h"
#include "support/process.h"
#include "support/tempdir.h"

namespace {
// Whether the process is in the system call of that number now (waiting in it).
bool InSystemCall(pid_t pid, long number)
{
    std::ifstream syscall("/proc/" + std::to_string(pid) + "/syscall");
    long current = -1;
    return syscall >> current && current == number;
}

const std::string kKey = "7077";  // "pw"

// A file for one process's standard error.
struct Log {
    TempDir dir;
    int fd = ::open(dir.path("log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ~Log() { ::close(fd); }
    std::string Text() const { return TextOf(dir.path("log")); }
};

int Shell(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> Encrypt(const std::string& input, const std::string& output)
{
    return {"encrypt", "-c", "gost", "--passphrase-hex", kKey, input, output};
}

// Runs args with the commit held at its flush until during() has run.
int WithCommitHeld(const std::vector<std::string>& args, int err, const std::function<void()>& during)
{
    TempDir gate;
    const pid_t pid = StartCli(args, {.err = err}, {{"HOLD_FSYNC", gate.root().string()}});
    if (!Eventually([&] { return std::filesystem::exists(gate.path("held")); })) return WaitForCli(pid, {});
    during();
    WriteFile(gate.path("go"), {});
    return WaitForCli(pid);
}
}  // namespace

TEST(CliAdversity, AnOutputThatAppearsDuringTheRunIsNotReplacedWithoutForce)
{
    TempDir dir;
    WriteFile(dir.path("plain"), Sample(300 * 1024));
    const Bytes notes{'n', 'o', 't', 'e', 's', '\n'};
    Log log;
    EXPECT_EQ(WithCommitHeld(Encrypt(dir.path("plain"), dir.path("out")), log.fd,
                             [&] { WriteFile(dir.path("out"), notes); }),
              1);
    EXPECT_EQ(log.Text(), "zorvanta-cli: " + dir.path("out") + " exists; use --force to replace it\n");
    EXPECT_EQ(ReadFile(dir.path("out")), notes);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out", "plain"}));

    // Eight runs to one new name: one creates it, the others refuse.
    std::vector<pid_t> runs;
    std::array<Log, 8> logs;
    for (Log& each : logs) runs.push_back(StartCli(Encrypt(dir.path("plain"), dir.path("race")), {.err = each.fd}));
    int created = 0;
    for (const pid_t pid : runs) {
        const int status = WaitForCli(pid);
        EXPECT_TRUE(status == 0 || status == 1) << status;
        created += status == 0;
    }
    EXPECT_EQ(created, 1);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out", "plain", "race"}));
}

// The folder's flush comes after the file has its name, so a kill while it waits leaves none.
TEST(CliAdversity, AKillDuringTheCommitLeavesNoHiddenName)
{
    for (const bool replacing : {false, true}) {
        SCOPED_TRACE(replacing ? "replacing" : "new");
        TempDir dir;
        WriteFile(dir.path("plain"), Sample(10000));
        if (replacing) WriteFile(dir.path("out"), {'o', 'l', 'd'});
        auto args = Encrypt(dir.path("plain"), dir.path("out"));
        args.insert(args.begin() + 1, "-f");
        Log log;
        TempDir gate;
        const pid_t run = StartCli(args, {.err = log.fd}, {{"HOLD_FOLDER_FSYNC", gate.root().string()}});
        ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(gate.path("held")); }));
        ::kill(run, SIGKILL);
        EXPECT_EQ(WaitForCli(run), 1000 + SIGKILL);
        EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out", "plain"}));
        EXPECT_EQ(ReadFile(dir.path("out")).size(), 10000u + 32);
    }
}

// A file system without modes (FAT through FUSE) keeps the output all the same, and a key file
// that stays readable by others is told.
TEST(CliAdversity, AFileSystemWithoutModesKeepsTheOutputAndSaysWhatItLacks)
{
    TempDir dir;
    WriteFile(dir.path("plain"), Sample(1000));
    const std::map<std::string, std::string> shim{{"NO_MODES", "1"}};
    Log encrypting, keygen;
    EXPECT_EQ(WaitForCli(StartCli(Encrypt(dir.path("plain"), dir.path("out")), {.err = encrypting.fd}, shim)), 0);
    EXPECT_EQ(encrypting.Text(), "File Encrypted\n");
    EXPECT_EQ(ReadFile(dir.path("out")).size(), 1032u);
    const mode_t umask = ::umask(022);
    EXPECT_EQ(WaitForCli(StartCli({"keygen", "-o", dir.path("key")}, {.err = keygen.fd}, shim)), 0);
    ::umask(umask);
    EXPECT_NE(keygen.Text().find("zorvanta-cli: " + dir.path("key") +
                                 ": the file system did not keep mode 0600 (Operation not permitted); the file has "
                                 "mode 0644\nzorvanta-cli: warning: " + dir.path("key") +
                                 " holds the secret key and others can read it; keep it to its owner (chmod 600)\n"
                                 "Public key: age1"),
              std::string::npos)
        << keygen.Text();
    EXPECT_FALSE(ReadFile(dir.path("key")).empty());
}

TEST(CliAdversity, ASecondRunIsRefusedAFileThatTheFirstWritesInPlace)
{
    TempDir dir;
    WriteFile(dir.path("plain"), Sample(300 * 1024));
    WriteFile(dir.path("out"), {'o', 'l', 'd'});
    ASSERT_EQ(::link(dir.path("out").c_str(), dir.path("other name").c_str()), 0);  // so it is written in place
    auto args = Encrypt(dir.path("plain"), dir.path("out"));
    args.insert(args.begin() + 1, "-f");
    Log first, second;
    EXPECT_EQ(WithCommitHeld(args, first.fd, [&] { EXPECT_EQ(WaitForCli(StartCli(args, {.err = second.fd})), 1); }), 0);
    EXPECT_EQ(second.Text(), "zorvanta-cli: " + dir.path("out") +
                                 " is being written in place by another run; try again when it has ended\n");
    EXPECT_EQ(ReadFile(dir.path("other name")).size(), 300u * 1024 + 32);
    EXPECT_EQ(WaitForCli(StartCli({"decrypt", "-f", "--passphrase-hex", kKey, dir.path("out"), dir.path("plain")})), 0);
    EXPECT_EQ(ReadFile(dir.path("plain")), Sample(300 * 1024));
}

TEST(CliAdversity, APassphraseSourceThatIsTheInputsStreamIsRefusedAndNoByteIsLost)
{
    TempDir dir;
    const auto at = [&](const std::string& name) { return dir.path(name); };
    WriteFile(at("plain"), Sample(5000));
    WriteFile(at("lines"), {'p', 'w', '\n', 'r', 'e', 's', 't', '\n'});
    const std::string run = kCliProgram + " encrypt -c aes ";
    const std::string out = " " + at("out") + " 2>" + at("err");
    struct Case {
        std::string command;
        int status;
        std::string printed;  // what the commands print on standard output
    };
    const Case cases[] = {
        {"printf 'secret\\nDATA\\n' | " + run + "--passphrase-fd 0 /dev/stdin" + out, 2, ""},
        {run + "--passphrase-fd 0 /dev/stdin" + out + " <" + at("lines"), 2, ""},
        {"printf 'secret\\nDATA\\n' | " + run + "--passphrase-file /dev/stdin /dev/stdin" + out, 2, ""},
        {"printf 'secret\\nDATA\\n' | " + run + "--passphrase-file /proc/self/fd/0 -" + out, 2, ""},
        {kCliProgram + " decrypt --passphrase-fd 0 /dev/stdin" + out + " <" + at("lines"), 2, ""},
        // A stream that goes on to another reader keeps what follows the passphrase's line.
        {"printf 'pw\\nrest\\n' | { " + run + "--passphrase-fd 0 " + at("plain") + out + "; echo $?; cat; }", 0,
         "0\nrest\n"},
        {"{ " + run + "--passphrase-fd 0 " + at("plain") + out + "; echo $?; cat; } <" + at("lines"), 0, "0\nrest\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Shell("(" + c.command + ") >" + at("printed")), c.status) << c.command;
        EXPECT_EQ(TextOf(at("printed")), c.printed) << c.command;
        if (c.status == 2) {
            EXPECT_NE(TextOf(at("err")).find("the same stream as the input"), std::string::npos) << TextOf(at("err"));
            EXPECT_FALSE(std::filesystem::exists(at("out"))) << c.command;
        }
        std::filesystem::remove(at("out"));
    }
}

TEST(CliAdversity, OneStopSignalEndsAWaitingRunAtOnceAndLeavesNoFile)
{
    struct Case {
        const char* what;
        int signal;
        int status;
        bool fifoOutput = false;  // else the input is a pipe that never delivers
        bool ignoredAtStart = false;
    };
    const Case cases[] = {
        {"Ctrl-C, stalled input", SIGINT, 130},
        {"termination, stalled input", SIGTERM, 143},
        {"hang-up, stalled input", SIGHUP, 129},
        {"Ctrl-C, output a FIFO without a reader", SIGINT, 130, true},
        {"hang-up ignored from the start (nohup)", SIGHUP, 0, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteFile(dir.path("plain"), Sample(1000));
        int input[2];
        ASSERT_EQ(::pipe2(input, O_CLOEXEC), 0);
        if (c.fifoOutput) {
            ASSERT_EQ(::mkfifo(dir.path("out").c_str(), 0600), 0);
        }
        Log log;
        const std::vector<std::string> args{"encrypt", "-c",  "aes", "--passphrase-hex", kKey,
                                            c.fifoOutput ? dir.path("plain") : "-", dir.path("out")};
        // Without anonymous files, the output waits under a temporary name.
        const std::map<std::string, std::string> shim{{"NO_TMPFILE", "1"}};
        if (c.ignoredAtStart) ::signal(c.signal, SIG_IGN);
        const pid_t pid = StartCli(args, {.in = input[0], .err = log.fd}, shim);
        if (c.ignoredAtStart) ::signal(c.signal, SIG_DFL);
        ::close(input[0]);
        if (c.fifoOutput) {
            ASSERT_TRUE(Eventually([&] { return InSystemCall(pid, SYS_openat); })) << "not waiting for a reader";
        } else {
            ASSERT_TRUE(Eventually([&] { return dir.Entries().size() == 2; })) << "no temporary file";
        }
        ::kill(pid, c.signal);
        if (c.ignoredAtStart) {
            // Caught, the signal would be pending until its handler ran; ignored, it never is.
            ASSERT_TRUE(Eventually([&] { return !SignalPending(pid, c.signal); }));
            ::close(input[1]);  // the end of the input ends the run
            EXPECT_EQ(WaitForCli(pid), 0);
            EXPECT_EQ(log.Text(), "File Encrypted\n");
            EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out", "plain"}));
            continue;
        }
        EXPECT_EQ(WaitForCli(pid, std::chrono::seconds(5)), c.status);
        ::close(input[1]);
        EXPECT_EQ(log.Text(), "zorvanta-cli: Cancelled\n");
        const std::vector<std::string> left = c.fifoOutput ? std::vector<std::string>{"out", "plain"}
                                                           : std::vector<std::string>{"plain"};
        EXPECT_EQ(dir.Entries(), left);
    }
}

TEST(CliAdversity, ThreadsThatDoNotStartLeaveTheRunToThoseThatDid)
{
    TempDir dir;
    const auto at = [&](const std::string& name) { return dir.path(name); };
    const Bytes plain = Sample(3 * kFileChunkBytes + 5);  // read ahead and decrypted on several threads
    WriteFile(at("plain"), plain);
    const auto quiet = [](std::vector<std::string> args) {
        args.insert(args.begin() + 1, {"-f", "-q"});
        return args;
    };
    ASSERT_EQ(WaitForCli(StartCli(quiet(Encrypt(at("plain"), at("reference"))))), 0);
    for (const char* allowed : {"0", "1", "2"}) {
        SCOPED_TRACE(std::string("threads allowed: ") + allowed);
        const std::map<std::string, std::string> shim{{"THREADS", allowed}};
        const auto run = [&](const std::vector<std::string>& args) { return WaitForCli(StartCli(quiet(args), {}, shim)); };
        EXPECT_EQ(run(Encrypt(at("plain"), at("enc"))), 0);
        EXPECT_EQ(ReadFile(at("enc")), ReadFile(at("reference")));
        EXPECT_EQ(run({"decrypt", "--passphrase-hex", kKey, at("enc"), at("dec")}), 0);
        EXPECT_EQ(ReadFile(at("dec")), plain);
        EXPECT_EQ(run({"encrypt", "--format", "age", "--work-factor", "10", "--passphrase-hex", kKey, at("plain"),
                       at("age")}), 0);
        EXPECT_EQ(run({"decrypt", "--passphrase-hex", kKey, at("age"), at("dec")}), 0);
        EXPECT_EQ(ReadFile(at("dec")), plain);
    }
}

TEST(CliAdversity, TheOutputFollowsItsFolderWhenTheFolderMovesDuringTheRun)
{
    for (const bool replacing : {false, true}) {
        SCOPED_TRACE(replacing ? "replacing" : "new");
        TempDir dir;
        const auto at = [&](const std::string& name) { return dir.path(name); };
        WriteFile(at("plain"), Sample(10000));
        std::filesystem::create_directory(at("sub"));
        if (replacing) WriteFile(at("sub/out"), {'o', 'l', 'd'});
        auto args = Encrypt(at("plain"), at("sub/out"));
        args.insert(args.begin() + 1, "-f");
        Log log;
        EXPECT_EQ(WithCommitHeld(args, log.fd, [&] { std::filesystem::rename(at("sub"), at("moved")); }), 0)
            << log.Text();
        EXPECT_EQ(ReadFile(at("moved/out")).size(), 10000u + 32);
        EXPECT_EQ(WaitForCli(StartCli({"decrypt", "--passphrase-hex", kKey, at("moved/out"), at("dec")})), 0);
        EXPECT_EQ(ReadFile(at("dec")), ReadFile(at("plain")));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(at("moved")), {}), 1);
    }
}
