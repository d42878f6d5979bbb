// zorvanta-cli's batch commands as a process, over trees built here: reseal into age files that
// Debian's age opens, what it skips and why, a kill and a full disk in mid-batch, and encrypt,
// decrypt and check over many files. The host shim (tests/support/hostshim.cpp) makes a file
// unreadable (the tests run as root, whom a mode of 000 does not stop) and fills the disk.
#include <signal.h>
#include <string.h>

#include "cli/batchworkspace.h"

using namespace batchtest;

namespace {
// The names of a tree's files that reseal takes, and their plaintexts.
std::map<std::string, Bytes> LegacyTree(const Workspace& w, const std::vector<std::size_t>& sizes)
{
    std::map<std::string, Bytes> plain;
    std::uint8_t seed = 0;
    for (const CipherEntry& entry : AllCiphers())
        for (const std::size_t size : sizes) {
            const std::string name = "legacy/" + std::string(entry.algorithm) + "-" + std::to_string(size);
            plain[name] = Sample(size, seed++);
            w.Legacy(name, plain[name], entry.algorithm);
        }
    return plain;
}

struct ResealCase {
    std::string what;
    std::vector<std::string> options;  // NEW, RECIPIENT, KEY and OUT stand for the workspace's files
    Opener opener;
    bool intoFolder = false;  // the options name OUT as the output folder
    bool deletes = false;
    std::string summary, rerunSummary;
};
}  // namespace

// One tree: every cipher at sizes around its blocks and a chunk, two files of 3 MiB, and the
// files reseal skips: one not encrypted, one under another passphrase, a link, one that cannot
// be read, and one whose NAME.age exists but holds another plaintext.
TEST(CliBatch, ResealMakesAgeFilesThatAgeOpensAndSkipsTheRest)
{
    const std::vector<ResealCase> cases = {
        {"the legacy passphrase, beside each file", {"--work-factor", "10"}, {kPassphrase, ""}, false, false,
         "42 resealed, 5 skipped, 0 failed", "42 resealed (42 before this run), 5 skipped, 0 failed"},
        {"a new passphrase", {"--work-factor", "10", "--new-passphrase-file", "NEW"}, {kNewPassphrase, ""}, false,
         false, "42 resealed, 5 skipped, 0 failed", "42 resealed (42 before this run), 5 skipped, 0 failed"},
        {"a recipient, and its identity to check again", {"-r", "RECIPIENT", "-i", "KEY"}, {"", "KEY"}, false, false,
         "42 resealed, 5 skipped, 0 failed", "42 resealed (42 before this run), 5 skipped, 0 failed"},
        // stale.age is not in the output folder, so stale is resealed there.
        {"into an output folder", {"--work-factor", "10", "--output-dir", "OUT"}, {kPassphrase, ""}, true, false,
         "43 resealed, 4 skipped, 0 failed", "43 resealed (43 before this run), 4 skipped, 0 failed"},
        // The rerun meets only age files, which it passes over, and the skipped files.
        {"deleting the originals", {"--work-factor", "10", "--delete-originals"}, {kPassphrase, ""}, false, true,
         "42 resealed, 5 skipped, 0 failed", "0 resealed, 5 skipped, 0 failed"},
    };
    for (const ResealCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Workspace w;
        const std::string outFolder = w.dir.path("out");
        std::map<std::string, Bytes> resealed = LegacyTree(w, {0, 31, 32, 33, 64 * 1024});
        for (const std::string_view cipher : {"Blowfish", "Rijndael"}) {
            const std::string name = "legacy/" + std::string(cipher) + "-3MiB";
            resealed[name] = Sample(3 * kMiB, static_cast<std::uint8_t>(cipher[0]));
            w.Legacy(name, resealed[name], cipher);
        }
        fs::create_directory(w.at("odd"));
        WriteFile(w.at("odd/plain"), Sample(100));
        w.Legacy("odd/other", Sample(100), "Twofish", "other");
        fs::create_symlink("../legacy/Blowfish-31", w.at("odd/link"));
        w.Legacy("odd/locked", Sample(100), "GOST");
        w.Legacy("odd/stale", Sample(100), "IDEA");
        WriteFile(w.dir.path("else"), Sample(99));
        ASSERT_EQ(Shell("age -r " + w.recipient + " -o " + w.at("odd/stale.age") + " " + w.dir.path("else")), 0);
        std::vector<std::string> skips = {"odd/plain: skipped: not a legacy file under this passphrase",
                                          "odd/other: skipped: not a legacy file under this passphrase",
                                          "odd/link: skipped: a symbolic link, not followed",
                                          "odd/locked: skipped: cannot be read (Permission denied)"};
        if (c.intoFolder) {
            resealed["odd/stale"] = Sample(100);
        } else {
            // Made for the recipient: under a passphrase it does not open, with its identity it
            // opens to another plaintext.
            skips.push_back("odd/stale: skipped: " + w.at("odd/stale.age") + " exists");
        }

        const std::map<std::string, std::string> placeholders{
            {"NEW", w.newPass}, {"RECIPIENT", w.recipient}, {"KEY", w.key}, {"OUT", outFolder}};
        std::vector<std::string> options;
        for (const std::string& option : c.options) {
            const auto named = placeholders.find(option);
            options.push_back(named == placeholders.end() ? option : named->second);
        }
        const Opener opener{c.opener.passphrase, c.opener.keyFile.empty() ? "" : w.key};
        const auto before = FilesBelow(w.tree);
        const std::map<std::string, std::string> shim{{"UNREADABLE", "locked"}};

        const Ran ran = RunToEnd(Reseal(w, options, 3), shim);
        EXPECT_EQ(ran.status, 1) << ran.err;
        EXPECT_NE(ran.err.find(c.summary), std::string::npos) << ran.err;
        for (const std::string& skip : skips) EXPECT_NE(ran.err.find(w.at(skip)), std::string::npos) << ran.err;

        // The originals are untouched (or, when asked, removed once resealed); the only new
        // files are the age files, which open to the plaintexts.
        std::map<std::string, Bytes> agePlain;
        auto expected = before;
        for (const auto& [name, plain] : resealed) {
            agePlain[(c.intoFolder ? outFolder + "/" : w.tree + "/") + name + ".age"] = plain;
            if (c.deletes) expected.erase(name);
            if (!c.intoFolder) expected[name + ".age"] = ReadFile(w.at(name + ".age"));
        }
        EXPECT_EQ(FilesBelow(w.tree), expected);
        if (c.intoFolder) {
            EXPECT_EQ(FilesBelow(outFolder).size(), resealed.size());
        }
        ExpectAgeOpens(agePlain, opener);

        const Ran rerun = RunToEnd(Reseal(w, options, 3), shim);
        EXPECT_EQ(rerun.status, 1) << rerun.err;
        EXPECT_NE(rerun.err.find(c.rerunSummary), std::string::npos) << rerun.err;
        EXPECT_EQ(FilesBelow(w.tree), expected);
    }
}


// Stops a reseal with signal once its first age file is there, and runs it again. The host shim
// holds the run at its first folder flush, which follows the first age file's naming, so the
// signal always comes with one file made and the rest to do.
void KillAndResume(int signal, int status)
{
    const Workspace w;
    const auto plain = LegacyTree(w, {4 * kMiB});
    const auto originals = FilesBelow(w.tree);
    const auto args = Reseal(w, {"-r", w.recipient, "-i", w.key}, 1);
    const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    TempDir gate;
    const pid_t run = StartCli(args, {.err = quiet}, {{"HOLD_FOLDER_FSYNC", gate.root().string()}});
    ::close(quiet);
    ASSERT_TRUE(Eventually([&] { return fs::exists(gate.path("held")); }, std::chrono::seconds(60)));
    ::kill(run, signal);
    // A killed run ends where it is held. A caught signal is taken as a stop before the held
    // commit goes on, and the file in progress then ends.
    if (signal != SIGKILL) {
        ASSERT_TRUE(Eventually([&] { return !SignalPending(run, signal); }));
        WriteFile(gate.path("go"), {});
    }
    EXPECT_EQ(WaitForCli(run), status);

    const auto ageFiles = [&] {
        std::map<std::string, Bytes> made;
        for (const auto& [name, bytes] : plain)
            if (fs::exists(w.at(name + ".age"))) made[w.at(name + ".age")] = bytes;
        return made;
    };
    const auto made = ageFiles();
    ASSERT_EQ(made.size(), 1u);
    auto expected = originals;
    for (const auto& [name, bytes] : made) expected[fs::relative(name, w.tree).string()] = ReadFile(name);
    EXPECT_EQ(FilesBelow(w.tree), expected);
    ExpectAgeOpens(made, {"", w.key});

    const Ran rerun = RunToEnd(args);
    EXPECT_EQ(rerun.status, 0) << rerun.err;
    EXPECT_NE(rerun.err.find(std::to_string(plain.size()) + " resealed (" + std::to_string(made.size()) +
                             " before this run), 0 skipped, 0 failed"),
              std::string::npos)
        << rerun.err;
    EXPECT_EQ(FilesBelow(w.tree).size(), 2 * plain.size());
    ExpectAgeOpens(ageFiles(), {"", w.key});
}

// Killed, or stopped by a signal, in mid-batch, a reseal leaves whole age files only; the same
// command finishes it.
TEST(CliBatch, AResealKilledOrStoppedMidBatchIsFinishedByTheSameCommand)
{
    for (const auto& [signal, status] : {std::pair{SIGKILL, 1000 + SIGKILL}, std::pair{SIGTERM, 128 + SIGTERM}}) {
        SCOPED_TRACE(strsignal(signal));
        KillAndResume(signal, status);
    }
}

// The disk fills during the second of three files: the first stays resealed, the file in
// progress and the next fail and leave nothing, whether the output is an anonymous file or a
// named temporary one.
TEST(CliBatch, AResealOnAFullDiskKeepsFinishedFilesAndLeavesNothingOfTheFailed)
{
    for (const bool namedTemporary : {false, true}) {
        SCOPED_TRACE(namedTemporary ? "named temporary files" : "anonymous files");
        const Workspace w;
        for (const std::string name : {"a", "b", "c"}) w.Legacy(name, Sample(kMiB, name[0]), "Rijndael");
        std::map<std::string, std::string> shim{{"DISK_FULL_AFTER", std::to_string(3 * kMiB / 2)}};
        if (namedTemporary) shim["NO_TMPFILE"] = "1";
        const auto before = FilesBelow(w.tree);

        const Ran ran = RunToEnd(Reseal(w, {"-r", w.recipient}, 1), shim);
        EXPECT_EQ(ran.status, 3) << ran.err;
        EXPECT_NE(ran.err.find("1 resealed, 0 skipped, 2 failed"), std::string::npos) << ran.err;
        for (const std::string name : {"b", "c"})
            EXPECT_NE(ran.err.find(w.at(name) + ": failed: "), std::string::npos) << ran.err;
        EXPECT_NE(ran.err.find("(No space left on device)"), std::string::npos) << ran.err;
        auto expected = before;
        expected["a.age"] = ReadFile(w.at("a.age"));
        EXPECT_EQ(FilesBelow(w.tree), expected);
        ExpectAgeOpens({{w.at("a.age"), Sample(kMiB, 'a')}}, {"", w.key});
    }
}

// encrypt, decrypt and check over many files, one step after another on the same folders.
TEST(CliBatch, EncryptDecryptAndCheckManyFilesIntoFolders)
{
    const Workspace w;
    const std::map<std::string, Bytes> plain = {{"p1", Sample(10)}, {"sub/p2", Sample(5000, 1)},
                                                {"sub/p3", Sample(70000, 2)}};
    for (const auto& [name, bytes] : plain) {
        fs::create_directories(fs::path(w.at(name)).parent_path());
        WriteFile(w.at(name), bytes);
    }
    const std::string legacy = w.dir.path("legacy"), age = w.dir.path("age"), fromLegacy = w.dir.path("d1"),
                      fromAge = w.dir.path("d2");
    const std::vector<std::string> pass{"--passphrase-file", w.pass};
    const auto with = [&](std::vector<std::string> args, const std::vector<std::string>& more) {
        args.insert(args.begin() + 1, pass.begin(), pass.end());
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    const std::vector<std::string> encryptLegacy = with({"encrypt", "-c", "blowfish", "--recursive", "--output-dir",
                                                         legacy}, {w.tree});
    struct Step {
        std::vector<std::string> args;
        int status;
        std::string summary;
        std::string folderKept;  // a folder whose files the step must not change
    };
    const std::vector<Step> steps = {
        {encryptLegacy, 0, "3 encrypted, 0 skipped, 0 failed", w.tree},
        {encryptLegacy, 1, "0 encrypted, 3 skipped, 0 failed", legacy},
        {with({"encrypt", "-f", "-c", "blowfish", "--recursive", "--output-dir", legacy}, {w.tree}), 0,
         "3 encrypted, 0 skipped, 0 failed", w.tree},
        {with({"encrypt", "--format", "age", "--work-factor", "10", "--recursive", "--output-dir", age}, {w.tree}), 0,
         "3 encrypted, 0 skipped, 0 failed", w.tree},
        {with({"decrypt", "--recursive", "--output-dir", fromLegacy}, {legacy}), 0, "3 decrypted, 0 skipped, 0 failed",
         legacy},
        // A file that is not encrypted is skipped among the others.
        {with({"decrypt", "--recursive", "--output-dir", fromAge}, {age, w.at("p1")}), 1,
         "3 decrypted, 1 skipped, 0 failed", age},
        {with({"decrypt", "--recursive", "--output-dir", fromAge}, {age}), 1, "0 decrypted, 3 skipped, 0 failed",
         fromAge},
        {with({"check"}, {legacy + "/p1", age + "/sub/p2.age", w.at("p1")}), 1,
         "1 open, 1 legacy (the passphrase fits; the rest cannot be checked), 1 skipped, 0 failed", legacy},
        {with({"check", "--recursive"}, {legacy, age}), 0,
         "3 open, 3 legacy (the passphrase fits; the rest cannot be checked), 0 skipped, 0 failed", age},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::PrintToString(step.args));
        const auto kept = FilesBelow(step.folderKept);
        const Ran ran = RunToEnd(step.args);
        EXPECT_EQ(ran.status, step.status) << ran.err;
        EXPECT_NE(ran.err.find(step.summary), std::string::npos) << ran.err;
        if (step.status == 1 && step.summary.starts_with("0 ")) {
            EXPECT_NE(ran.err.find("exists; use --force to replace it"), std::string::npos) << ran.err;
        }
        EXPECT_EQ(FilesBelow(step.folderKept), kept);
    }
    EXPECT_EQ(FilesBelow(fromLegacy), plain);
    EXPECT_EQ(FilesBelow(fromAge), plain);
    EXPECT_EQ(FilesBelow(w.tree), plain);
}

// SSH keys serve the batch commands as they serve one file: a public key file to encrypt many
// files to, its private key (readable by its owner alone) to decrypt and check them.
TEST(CliBatch, SshKeysEncryptDecryptAndCheckManyFiles)
{
    const Workspace w;
    const std::map<std::string, Bytes> plain = {{"p1", Sample(10)}, {"sub/p2", Sample(70000, 1)}};
    for (const auto& [name, bytes] : plain) {
        fs::create_directories(fs::path(w.at(name)).parent_path());
        WriteFile(w.at(name), bytes);
    }
    const std::string id = w.dir.path("id_rsa"), age = w.dir.path("age"), out = w.dir.path("out");
    WriteFile(id, ReadFile(DataPath("age/ssh/rsa2048")));
    fs::permissions(id, fs::perms::owner_read | fs::perms::owner_write);
    const struct {
        std::vector<std::string> args;
        std::string summary;
    } steps[] = {
        {{"encrypt", "-R", DataPath("age/ssh/rsa2048.pub"), "--recursive", "--output-dir", age, w.tree},
         "2 encrypted, 0 skipped, 0 failed"},
        {{"decrypt", "-i", id, "--recursive", "--output-dir", out, age}, "2 decrypted, 0 skipped, 0 failed"},
        {{"check", "-i", id, "--recursive", age}, "2 open, 0 skipped, 0 failed"},
    };
    for (const auto& [args, summary] : steps) {
        const Ran ran = RunToEnd(args);
        EXPECT_EQ(ran.status, 0) << ran.err;
        EXPECT_NE(ran.err.find(summary), std::string::npos) << ran.err;
    }
    EXPECT_EQ(FilesBelow(out), plain);
}
