// The edges of zorvanta-cli's batch commands, where a batch could lose a file or report what did
// not happen: an original that changes while it is moved, two inputs for one output, an output
// folder among the inputs, links, names that hold control characters, modes, and the counts,
// exit statuses and messages. The host shim (tests/support/hostshim.cpp) holds a run at its
// first flush, refuses leases and logs folder flushes and removals.
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <sstream>

#include "cli/batchworkspace.h"

using namespace batchtest;

namespace {
// A run held at its first flush of a file (the read-back of the first age file, before its
// commit): act runs meanwhile, then the run goes on to its end.
template <class Act>
Ran RunHeldAtFirstFlush(const Workspace& w, const std::vector<std::string>& args, std::map<std::string, std::string> shim,
                        Act act)
{
    const std::string hold = w.dir.path("hold");
    fs::create_directory(hold);
    shim["HOLD_FSYNC"] = hold;
    TempDir logs;
    const int err = ::open(logs.path("err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const pid_t run = StartCli(args, {.err = err}, shim);
    ::close(err);
    EXPECT_TRUE(Eventually([&] { return fs::exists(hold + "/held"); }, std::chrono::seconds(60)));
    act();
    WriteText(hold + "/go", "");
    const int status = WaitForCli(run, std::chrono::seconds(60));
    fs::remove_all(hold);
    return {status, TextOf(logs.path("err"))};
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::vector<std::string> ResealFiles(const Workspace& w, std::vector<std::string> options,
                                     const std::vector<std::string>& names)
{
    std::vector<std::string> args{"reseal", "--passphrase-file", w.pass, "-r", w.recipient, "--jobs", "1"};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), names.begin(), names.end());
    return args;
}
}  // namespace

// An original that another program changes between its read and its removal is kept, whether
// the change breaks the run's read lease, or (where no lease can be had) shows in its size or
// its times: even a rewrite of the same size with its modification time put back moves the
// change time. A file open for writing when the run comes to it is not taken at all.
TEST(CliBatchEdges, DeleteOriginalsKeepsAnOriginalThatChangesWhileItIsMoved)
{
    struct Case {
        std::string what;
        bool noLease;
        bool rewrite;  // else an append
    };
    for (const Case& c : std::vector<Case>{{"an append, which breaks the lease", false, false},
                                           {"an append, without a lease", true, false},
                                           {"a same-size rewrite, its time put back, without a lease", true, true}}) {
        SCOPED_TRACE(c.what);
        const Workspace w;
        w.Legacy("big", Sample(kMiB), "Rijndael");
        const auto size = fs::file_size(w.at("big"));
        std::map<std::string, std::string> shim;
        if (c.noLease) shim["NO_LEASE"] = "1";
        const Ran ran = RunHeldAtFirstFlush(w, ResealFiles(w, {"--delete-originals"}, {w.at("big")}), shim, [&] {
            if (c.rewrite) {
                struct stat before;
                ASSERT_EQ(::stat(w.at("big").c_str(), &before), 0);
                const int fd = ::open(w.at("big").c_str(), O_WRONLY | O_CLOEXEC);
                ASSERT_EQ(::pwrite(fd, "edit", 4, 100), 4);
                const timespec times[2] = {before.st_atim, before.st_mtim};
                ASSERT_EQ(::futimens(fd, times), 0);
                ::close(fd);
            } else {
                const int fd = ::open(w.at("big").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
                ASSERT_EQ(::write(fd, "more", 4), 4);
                ::close(fd);
            }
        });
        EXPECT_EQ(ran.status, 1) << ran.err;
        EXPECT_TRUE(Has(ran.err, w.at("big") + " changed while it was moved, so it is kept")) << ran.err;
        EXPECT_TRUE(Has(ran.err, "0 resealed, 1 skipped, 0 failed")) << ran.err;
        ASSERT_TRUE(fs::exists(w.at("big")));
        EXPECT_EQ(fs::file_size(w.at("big")), size + (c.rewrite ? 0 : 4));
    }
    const Workspace w;
    w.Legacy("log", Sample(1000), "Rijndael");
    const int writer = ::open(w.at("log").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    const Ran ran = RunToEnd(ResealFiles(w, {"--delete-originals"}, {w.at("log")}));
    ::close(writer);
    EXPECT_EQ(ran.status, 1) << ran.err;
    EXPECT_TRUE(Has(ran.err, w.at("log") + ": skipped: open for writing by another program")) << ran.err;
    EXPECT_EQ(FilesBelow(w.tree).size(), 1u);
}

// Two inputs of one run that would be written to one output refuse the run before any work,
// naming both; so does an output folder that is an input, or lies inside one.
TEST(CliBatchEdges, ARunWhoseOutputsCollideOrLieAmongItsInputsIsRefused)
{
    const Workspace w;
    for (const std::string year : {"y2023", "y2024"}) {
        w.Legacy(year + "/taxes/form.pdf", Sample(100), "Twofish");
        w.Legacy(year + "/lvl1/old", Sample(100), "Twofish");
    }
    const std::string y2023 = w.at("y2023"), y2024 = w.at("y2024"), out = w.dir.path("outc");
    fs::create_directories(w.at("a"));
    fs::create_directories(w.at("b"));
    WriteText(w.at("a/doc"), "a");
    WriteText(w.at("b/doc"), "b");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<std::string> pass{"--passphrase-file", w.pass};
    const auto with = [&](std::vector<std::string> args) {
        args.insert(args.begin() + 1, pass.begin(), pass.end());
        return args;
    };
    const std::vector<Case> cases = {
        {with({"reseal", "--recursive", "--delete-originals", "--output-dir", out, y2023, y2024}),
         y2023 + "/lvl1/old and " + y2024 + "/lvl1/old would both be written to " + out + "/lvl1/old.age"},
        {with({"encrypt", "--force", "-c", "blowfish", "--output-dir", w.dir.path("enc"), w.at("a/doc"), w.at("b/doc")}),
         w.at("a/doc") + " and " + w.at("b/doc") + " would both be written to " + w.dir.path("enc") + "/doc"},
        {with({"reseal", "--recursive", "--output-dir", y2023, y2023}), "the output folder " + y2023 + " is " + y2023},
        {with({"reseal", "--recursive", "--output-dir", y2023 + "/lvl1", y2023}),
         "the output folder " + y2023 + "/lvl1 lies inside " + y2023},
        {with({"reseal", "--recursive", "--output-dir", y2024 + "/new/deeper", y2023, y2024}),
         "the output folder " + y2024 + "/new/deeper lies inside " + y2024},
    };
    const auto before = FilesBelow(w.dir.root());
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const Ran ran = RunToEnd(c.args);
        EXPECT_EQ(ran.status, 2) << ran.err;
        EXPECT_TRUE(Has(ran.err, c.message)) << ran.err;
        EXPECT_EQ(FilesBelow(w.dir.root()), before);
        EXPECT_FALSE(fs::exists(out) || fs::exists(w.dir.path("enc")) || fs::exists(y2024 + "/new"));
    }
}

// A file named twice through different paths (a folder and a link to it) is resealed once: the
// NAME.age the run made is not taken for one made before it.
TEST(CliBatchEdges, AnAgeFileThisRunMadeIsNotCountedAsMadeBeforeIt)
{
    const Workspace w;
    w.Legacy("f", Sample(100), "GOST");
    fs::create_directory_symlink(w.tree, w.dir.path("alias"));
    const Ran ran = RunToEnd(ResealFiles(w, {"--recursive"}, {w.tree, w.dir.path("alias")}));
    EXPECT_EQ(ran.status, 1) << ran.err;
    EXPECT_TRUE(Has(ran.err, "1 resealed, 1 skipped, 0 failed")) << ran.err;
    EXPECT_TRUE(Has(ran.err, w.dir.path("alias") + "/f.age was made by this run from another file")) << ran.err;
}

// An output that cannot be made (a name too long, a folder under a file) refuses its file,
// exit 1, in a batch as for a single file; a damaged age file fails it, exit 3, and a legacy
// file that check meets is not counted as verified.
TEST(CliBatchEdges, ExitStatusesKeepOneMeaning)
{
    const Workspace w;
    const std::string longName(252, 'n');
    w.Legacy(longName, Sample(100), "Misty1");
    WriteText(w.at("plain"), "plain");
    WriteText(w.dir.path("afile"), "");
    for (const std::string name : {"f1", "f2", "f3"}) {
        WriteText(w.at(name), name);
        ASSERT_EQ(Shell("age -r " + w.recipient + " -o " + w.at(name + ".age") + " " + w.at(name)), 0);
    }
    {
        const int fd = ::open(w.at("f2.age").c_str(), O_WRONLY | O_CLOEXEC);
        const off_t end = ::lseek(fd, 0, SEEK_END);
        ASSERT_EQ(::pwrite(fd, "\x01", 1, end - 3), 1);  // a byte of the last chunk's tag
        ::close(fd);
    }
    w.Legacy("legacy", Sample(100), "Twofish");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string summary, line;
    };
    const std::vector<Case> cases = {
        {ResealFiles(w, {}, {w.at(longName)}), 1, "0 resealed, 1 skipped, 0 failed",
         w.at(longName) + ".age: Unable to open the Output File (File name too long)"},
        {{"encrypt", "--passphrase-file", w.pass, "-c", "idea", "--output-dir", w.dir.path("afile") + "/out",
          w.at("plain")},
         1, "0 encrypted, 1 skipped, 0 failed", "Unable to open the Output File (Not a directory)"},
        {{"check", "-i", w.key, w.at("f1.age"), w.at("f2.age"), w.at("f3.age")}, 3, "2 open, 0 skipped, 1 failed",
         w.at("f2.age") + ": failed: "},
        {{"decrypt", "-i", w.key, "--output-dir", w.dir.path("d"), w.at("f2.age")}, 3,
         "0 decrypted, 0 skipped, 1 failed", w.at("f2.age") + ": failed: "},
        {{"check", "--passphrase-file", w.pass, "-i", w.key, w.at("legacy"), w.at("f1.age")}, 0,
         "1 open, 1 legacy (the passphrase fits; the rest cannot be checked), 0 skipped, 0 failed",
         w.at("legacy") + ": the passphrase fits (Twofish); the legacy format cannot check the rest"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const Ran ran = RunToEnd(c.args);
        EXPECT_EQ(ran.status, c.status) << ran.err;
        EXPECT_TRUE(Has(ran.err, c.summary)) << ran.err;
        EXPECT_TRUE(Has(ran.err, c.line)) << ran.err;
    }
    EXPECT_FALSE(fs::exists(w.dir.path("d/f2")));
}

// A symbolic link named on the command line stands for the file it names: that file is
// resealed, as NAME.age beside the link, and kept, since only the link was named.
TEST(CliBatchEdges, ANamedLinkIsResealedAndTheFileItNamesIsKept)
{
    const Workspace w;
    w.Legacy("target", Sample(100), "Cast256");
    fs::create_symlink(w.at("target"), w.dir.path("link"));
    const Ran ran = RunToEnd(ResealFiles(w, {"--delete-originals"}, {w.dir.path("link")}));
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_TRUE(Has(ran.err, w.dir.path("link") + " is a symbolic link, so the file it names is kept")) << ran.err;
    EXPECT_TRUE(fs::exists(w.at("target")));
    EXPECT_TRUE(fs::is_symlink(w.dir.path("link")));
    ExpectAgeOpens({{w.dir.path("link.age"), Sample(100)}}, {"", w.key});
}

// Every folder the run made for an output is flushed into its parent before the first original
// goes: a crash after the removal must not take the folders, and the age files in them, away.
TEST(CliBatchEdges, NewOutputFoldersAreSyncedUpTheChainBeforeAnOriginalGoes)
{
    const Workspace w;
    w.Legacy("x/y/f", Sample(100), "Blowfish");
    const std::string out = w.dir.path("out"), log = w.dir.path("log");
    const Ran ran = RunToEnd(ResealFiles(w, {"--recursive", "--delete-originals", "--output-dir", out + "/a"}, {w.tree}),
                             {{"LOG", log}});
    ASSERT_EQ(ran.status, 0) << ran.err;
    std::vector<std::string> lines;
    std::istringstream in(TextOf(log));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    const auto firstUnlink = std::ranges::find_if(lines, [](const std::string& l) { return l.starts_with("unlink "); });
    ASSERT_NE(firstUnlink, lines.end());
    EXPECT_EQ(*firstUnlink, "unlink " + w.at("x/y/f"));
    const std::string root = fs::canonical(w.dir.root()).string();
    for (const std::string parent : {"", "/out", "/out/a", "/out/a/x"}) {
        SCOPED_TRACE(parent);
        EXPECT_NE(std::find(lines.begin(), firstUnlink, "sync " + root + parent), firstUnlink) << TextOf(log);
    }
}

// A name with an escape sequence or a line end is printed with them escaped, as `ls -b` does:
// it can neither rewrite the terminal nor forge a line.
TEST(CliBatchEdges, ControlCharactersInNamesArePrintedEscaped)
{
    const Workspace w;
    w.Legacy("clear\x1b[2J", Sample(10), "Blowfish");
    w.Legacy("two\nlines", Sample(10), "Blowfish", "other");
    const Ran ran = RunToEnd(ResealFiles(w, {"--recursive"}, {w.tree}));
    EXPECT_EQ(ran.status, 1) << ran.err;
    EXPECT_TRUE(Has(ran.err, w.at("clear\\033[2J: resealed as ") + w.at("clear\\033[2J.age"))) << ran.err;
    EXPECT_TRUE(Has(ran.err, w.at("two\\nlines: skipped: ")));
    EXPECT_EQ(ran.err.find('\x1b'), std::string::npos);
    EXPECT_EQ(std::ranges::count(ran.err, '\n'), 3) << ran.err;  // two files and the summary
}

// Folders made for outputs keep the privacy of those they mirror, a decrypted file allows no
// one what its encrypted file does not, and an original removed under one of its hard links
// is told to stay under the others.
TEST(CliBatchEdges, OutputsKeepThePermissionsOfWhatTheyComeFrom)
{
    const Workspace w;
    w.Legacy("private/f", Sample(100), "Blowfish");
    fs::permissions(w.at("private"), fs::perms::owner_all);
    fs::permissions(w.at("private/f"), fs::perms::owner_read | fs::perms::owner_write);
    const std::string enc = w.dir.path("enc"), dec = w.dir.path("dec");
    Ran ran = RunToEnd(ResealFiles(w, {"--recursive", "--output-dir", enc}, {w.tree}));
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(fs::status(enc + "/private").permissions(), fs::perms::owner_all);
    ran = RunToEnd({"decrypt", "-i", w.key, "--recursive", "--output-dir", dec, enc});
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(fs::status(dec + "/private").permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(dec + "/private/f").permissions(), fs::perms::owner_read | fs::perms::owner_write);

    fs::create_hard_link(w.at("private/f"), w.dir.path("second-name"));
    ran = RunToEnd(ResealFiles(w, {"--delete-originals"}, {w.at("private/f")}));
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_TRUE(Has(ran.err, w.at("private/f") + " had 1 more hard link(s), which still hold the legacy file"))
        << ran.err;
    EXPECT_FALSE(fs::exists(w.at("private/f")));
}

// What the terminal shows of a batch: the progress line counts files too, leaves no stale copy
// of itself above the messages, and ends at 100%.
TEST(CliBatchEdges, TheProgressLineCountsFilesAndLeavesNoStaleLines)
{
    const Workspace w;
    for (int i = 0; i < 30; ++i) w.Legacy("f" + std::to_string(i), Sample(100, static_cast<std::uint8_t>(i)), "IDEA");
    const Ran ran = RunToEnd(ResealFiles(w, {"--recursive", "--progress"}, {w.tree}));
    ASSERT_EQ(ran.status, 0) << ran.err;
    // The screen: each line as the carriage returns leave it.
    std::vector<std::string> screen;
    std::istringstream in(ran.err);
    for (std::string line; std::getline(in, line);) {
        std::string shown;
        std::size_t column = 0;
        for (const char c : line) {
            if (c == '\r') {
                column = 0;
                continue;
            }
            if (column < shown.size()) shown[column] = c;
            else shown += c;
            ++column;
        }
        shown.erase(shown.find_last_not_of(' ') + 1);
        if (!shown.empty()) screen.push_back(shown);
    }
    const auto progress = std::ranges::count_if(screen, [](const std::string& l) { return Has(l, " files, "); });
    EXPECT_EQ(progress, 1) << ran.err;
    ASSERT_GE(screen.size(), 2u);
    EXPECT_TRUE(screen[screen.size() - 2].starts_with("30 of 30 files, 0.0 MiB of 0.0 MiB (100%)"))
        << screen[screen.size() - 2];
}

// What a reseal says when another run got there first, or when a NAME.age exists that it cannot
// check: what happened and how to go on, never --force, which it does not take.
TEST(CliBatchEdges, ResealNamesWhatItMeetsAndHowToGoOn)
{
    struct Case {
        std::string what;
        std::function<void(const Workspace&)> meanwhile;  // while the run is held before its commit
        int status;
        std::string line;
    };
    const auto madeElsewhere = [](const Workspace& w) {
        ASSERT_EQ(Shell("age -r " + w.recipient + " -o " + w.at("f.age") + " " + w.pass), 0);
    };
    const std::vector<Case> cases = {
        {"NAME.age made by another run", madeElsewhere, 1,
         ".age was made by another run meanwhile; run reseal again to check it"},
        {"the original removed by another run", [](const Workspace& w) { fs::remove(w.at("f")); }, 0,
         "; the original was removed by another run meanwhile"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Workspace w;
        w.Legacy("f", Sample(100), "Rijndael");
        const Ran ran = RunHeldAtFirstFlush(w, ResealFiles(w, {"--delete-originals"}, {w.at("f")}), {},
                                            [&] { c.meanwhile(w); });
        EXPECT_EQ(ran.status, c.status) << ran.err;
        EXPECT_TRUE(Has(ran.err, c.line)) << ran.err;
        EXPECT_FALSE(Has(ran.err, "--force")) << ran.err;
        EXPECT_FALSE(Has(ran.err, "changed while")) << ran.err;
    }

    const Workspace w;
    w.Legacy("p", Sample(100), "Rijndael");
    w.Legacy("r", Sample(100), "Rijndael");
    WriteText(w.dir.path("other"), "other\n");
    ASSERT_EQ(RunToEnd({"encrypt", "--format", "age", "--work-factor", "10", "--passphrase-file", w.dir.path("other"),
                        w.at("p"), w.at("p.age")})
                  .status,
              0);
    ASSERT_EQ(Shell("age -r " + w.recipient + " -o " + w.at("r.age") + " " + w.pass), 0);
    const Ran ran = RunToEnd({"reseal", "--passphrase-file", w.pass, "--work-factor", "10", w.at("p"), w.at("r")});
    EXPECT_EQ(ran.status, 1) << ran.err;
    EXPECT_TRUE(Has(ran.err, w.at("p.age") + " exists, sealed under another passphrase")) << ran.err;
    EXPECT_TRUE(Has(ran.err, w.at("r.age") + " exists and does not open with what was given (no identity matched "
                                             "this file); check it with an identity (key file)"))
        << ran.err;
}
