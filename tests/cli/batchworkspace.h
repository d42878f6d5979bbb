#pragma once

// What the tests of zorvanta-cli's batch commands share: a workspace with a tree of files, the
// passphrase files and an age-keygen identity, the program run to its end, and Debian's age to
// open what it made.

#include <fcntl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cipher/registry.h"
#include "fileenc/fileop.h"
#include "fileenc/passphrase.h"
#include "support/process.h"
#include "support/tempdir.h"
#include "support/terminal.h"

namespace batchtest {
namespace fs = std::filesystem;
// Hashed in Windows-1252 by the legacy files and as UTF-8 by age, so a mix-up of the two shows.
inline const std::string kPassphrase = "caf\u00E9";
inline const std::string kNewPassphrase = "n\u00E9w";
inline constexpr std::size_t kMiB = 1024 * 1024;

inline void WriteText(const std::string& path, const std::string& text)
{
    WriteFile(path, Bytes(text.begin(), text.end()));
}

// The regular files below root (links not followed), by their path below it, and their bytes.
inline std::map<std::string, Bytes> FilesBelow(const std::string& root)
{
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && !entry.is_symlink())
            files[fs::relative(entry.path(), root).string()] = ReadFile(entry.path());
    return files;
}

struct Ran {
    int status;
    std::string err;
};

// Runs the program to its end; shim: settings of the host shim.
inline Ran RunToEnd(const std::vector<std::string>& args, const std::map<std::string, std::string>& shim = {})
{
    TempDir logs;
    const int err = ::open(logs.path("err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const int status = WaitForCli(StartCli(args, {.err = err}, shim), std::chrono::seconds(120));
    ::close(err);
    return {status, TextOf(logs.path("err"))};
}

// A folder holding the tree a batch works on, the passphrase files and an age-keygen identity.
struct Workspace {
    TempDir dir;
    std::string tree = dir.path("tree"), pass = dir.path("pass"), newPass = dir.path("new"), key = dir.path("key");
    std::string recipient;

    Workspace()
    {
        fs::create_directory(tree);
        WriteText(pass, kPassphrase + "\n");
        WriteText(newPass, kNewPassphrase + "\n");
        EXPECT_EQ(Shell("age-keygen -o " + key + " 2>/dev/null"), 0);
        EXPECT_EQ(Shell("age-keygen -y -o " + dir.path("key.pub") + " " + key), 0);
        recipient = TextOf(dir.path("key.pub"));
        recipient.pop_back();  // the line end
    }
    std::string at(const std::string& relative) const { return tree + "/" + relative; }

    // A legacy file at relative under passphrase, whose plaintext is plain.
    void Legacy(const std::string& relative, const Bytes& plain, std::string_view cipher,
                const std::string& passphrase = kPassphrase) const
    {
        fs::create_directories(fs::path(at(relative)).parent_path());
        WriteFile(dir.path("plain"), plain);
        ASSERT_EQ(EncryptFile(dir.path("plain"), at(relative), PassphraseBytes(passphrase), *CreateCipher(cipher)),
                  FileOpResult::Encrypted);
        fs::remove(dir.path("plain"));
    }
};

// How Debian's age opens the new files: typing a passphrase on a terminal, or with a key file.
struct Opener {
    std::string passphrase, keyFile;
};

// Every age file of agePlain (its path and the plaintext it must open to) opens with age.
inline void ExpectAgeOpens(const std::map<std::string, Bytes>& agePlain, const Opener& opener)
{
    TempDir scratch;
    std::string commands;
    std::size_t n = 0;
    for (const auto& [file, plain] : agePlain) {
        const std::string out = scratch.path(std::to_string(n++));
        // Redirected: age creates no -o file for an empty plaintext.
        const std::string command =
            "age -d " + (opener.keyFile.empty() ? "" : "-i " + opener.keyFile + " ") + file + " > " + out;
        commands += (commands.empty() ? "" : " && ") + command;
    }
    if (opener.keyFile.empty()) {
        const TerminalRun run = ShellOnTerminal(commands, std::vector<std::string>(n, opener.passphrase));
        ASSERT_EQ(run.status, 0) << run.shown;
    } else {
        ASSERT_EQ(Shell(commands), 0);
    }
    n = 0;
    for (const auto& [file, plain] : agePlain) EXPECT_EQ(ReadFile(scratch.path(std::to_string(n++))), plain) << file;
}

// What reseal is given besides its own options: the passphrase, a low work factor, the tree.
inline std::vector<std::string> Reseal(const Workspace& w, std::vector<std::string> options, std::size_t jobs)
{
    std::vector<std::string> args{"reseal", "--passphrase-file", w.pass, "--recursive", "--jobs", std::to_string(jobs)};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(w.tree);
    return args;
}
}  // namespace batchtest
